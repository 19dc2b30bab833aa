// The pieces under the windows: settings, the first-run marker, dialog
// units, the drag payload, texts and scripted message boxes.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QMimeData>
#include <QSettings>
#include <QtTest>

#include "GuiTestSupport.h"
#include "app/FirstRun.h"
#include "model/StringTable.h"
#include "settings/Settings.h"
#include "ui/common/DialogUnits.h"
#include "ui/common/Icons.h"
#include "ui/common/MessageBoxes.h"
#include "ui/common/Texts.h"
#include "ui/main/DragPayload.h"

using namespace kivo;
using namespace kivo::test;

class DesktopSupportTest : public QObject {
    Q_OBJECT

private slots:
    void settingsRoundTripThroughTheSettingsSection() {
        IsolatedEnvironment env;
        QCOMPARE(GetSetting("copyfolder", "none"), std::string("none"));
        QCOMPARE(GetSettingInt("filtertype", 0), 0);

        QVERIFY(PutSetting("copyfolder", "/home/me/Backup"));
        QVERIFY(PutSettingInt("filtertype", 2));
        QVERIFY(PutSettingInt("unzipskipexist", -1));
        QCOMPARE(GetSetting("copyfolder"), std::string("/home/me/Backup"));
        QCOMPARE(GetSettingInt("filtertype", 0), 2);
        QCOMPARE(GetSettingInt("unzipskipexist", 0), -1);

        // Kept in the file named after the organisation and the application,
        // in the section "Settings", where another process finds them.
        const QString file = env.userSettingsFolder() + "/KALDORWORKS/" +
                             QCoreApplication::applicationName() + ".conf";
        QVERIFY2(QFile::exists(file), qPrintable(file));
        QSettings reader(file, QSettings::IniFormat);
        QCOMPARE(reader.value("Settings/copyfolder").toString(), QString("/home/me/Backup"));
        QCOMPARE(reader.value("Settings/filtertype").toString(), QString("2"));
        QCOMPARE(reader.value("Settings/unzipskipexist").toString(), QString("4294967295"));
    }

    void valuesOfTheWrongTypeReadAsTheDefault_data() {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<int>("asInt");
        QTest::addColumn<QString>("asString");
        QTest::newRow("text") << QVariant("abc") << -5 << "abc";
        QTest::newRow("number text") << QVariant("7") << 7 << "7";
        QTest::newRow("list") << QVariant(QStringList{"a", "b"}) << -5 << "default";
        QTest::newRow("too large") << QVariant("4294967296") << -5 << "4294967296";
        // Raw bytes are how a string that is not UTF-8 is kept.
        QTest::newRow("bytes") << QVariant(QByteArray("\x01\xe9", 2)) << -5 << "\x01\xe9";
    }

    void valuesOfTheWrongTypeReadAsTheDefault() {
        QFETCH(QVariant, stored);
        QFETCH(int, asInt);
        QFETCH(QString, asString);
        IsolatedEnvironment env;
        {
            QSettings writer(QSettings::NativeFormat, QSettings::UserScope, "KALDORWORKS",
                             QCoreApplication::applicationName());
            writer.setValue("Settings/value", stored);
        }
        QCOMPARE(GetSettingInt("value", -5), asInt);
        QCOMPARE(QString::fromStdString(GetSetting("value", "default")), asString);
    }

    void aLaterRunReadsTheValuesByteForByte() {
        // Written by one run, read by the next from the file alone (a new
        // location, so nothing comes from this process's cache).
        const std::string latin1Folder = "/home/caf\xe9/Backup";  // not UTF-8
        const std::string utf8Folder = "/home/J\xc3\xbcrgen, \"old\"\t=;@x";
        QByteArray stored;
        {
            IsolatedEnvironment env;
            QVERIFY(PutSetting("copyfolder", latin1Folder));
            QVERIFY(PutSetting("movefolder", utf8Folder));
            QVERIFY(PutSettingInt("maxsizewindow", 1));
            QCOMPARE(GetSetting("copyfolder"), latin1Folder);
            QFile file(env.userSettingsFolder() + "/KALDORWORKS/" +
                       QCoreApplication::applicationName() + ".conf");
            QVERIFY(file.open(QIODevice::ReadOnly));
            stored = file.readAll();
        }
        IsolatedEnvironment env;
        QVERIFY(QDir().mkpath(env.userSettingsFolder() + "/KALDORWORKS"));
        QFile file(env.userSettingsFolder() + "/KALDORWORKS/" + QCoreApplication::applicationName() +
                   ".conf");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(stored);
        file.close();
        QCOMPARE(GetSetting("copyfolder"), latin1Folder);
        QCOMPARE(GetSetting("movefolder"), utf8Folder);
        QCOMPARE(GetSettingInt("maxsizewindow", 0), 1);
    }

    void anIntegerIsNotAString() {
        IsolatedEnvironment env;
        QVERIFY(PutSettingInt("maxsizewindow", 1));
        QCOMPARE(GetSetting("maxsizewindow", "default"), std::string("default"));
    }

    void firstRunWritesTheMarkerInTheSystemScope() {
        IsolatedEnvironment env;
        int actions = 0;
        QVERIFY(HandleFirstRun([&actions] { ++actions; }));
        QVERIFY(!HandleFirstRun([&actions] { ++actions; }));
        QCOMPARE(actions, 1);
        QSettings system(env.systemSettingsFolder() + "/KALDORWORKS/Kivo.conf", QSettings::IniFormat);
        QCOMPARE(system.value("InitFlag").toInt(), 1);
        QVERIFY(!QFile::exists(env.userSettingsFolder() + "/KALDORWORKS/Kivo.conf"));
    }

    void anUnwritableSystemScopeKeepsTheMarkerForTheUser() {
        IsolatedEnvironment env;
        // A folder that cannot be created: its parent is a plain file.
        QFile blocker(env.path() + "/blocker");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, env.path() + "/blocker/etc");

        int actions = 0;
        QVERIFY(HandleFirstRun([&actions] { ++actions; }));
        QVERIFY(FirstRunMarkerPresent());
        QVERIFY(!HandleFirstRun([&actions] { ++actions; }));
        QCOMPARE(actions, 1);
        QSettings user(env.userSettingsFolder() + "/KALDORWORKS/Kivo.conf", QSettings::IniFormat);
        QCOMPARE(user.value("InitFlag").toInt(), 1);
    }

    void dialogUnitsConvertEdgesSoNeighboursStayAdjacent() {
        const DialogUnits units(6, 13);
        QCOMPARE(units.Rect(4, 8, 4, 8), QRect(6, 13, 6, 13));
        // Controls that touch in units touch in pixels, whatever the rounding.
        for (int x = 0; x < 12; ++x) {
            const QRect left = units.Rect(x, 3, 7, 5);
            const QRect right = units.Rect(x + 7, 3, 9, 5);
            QCOMPARE(right.left(), left.right() + 1);
        }
        QCOMPARE(units.Size(372, 220), QSize(372 * 6 / 4, 220 * 13 / 8));

        QFont small;
        small.setPixelSize(10);
        QFont large = small;
        large.setPixelSize(20);
        const DialogUnits a(small);
        const DialogUnits b(large);
        QVERIFY(a.baseX() > 0 && a.baseY() >= 10);
        QVERIFY(b.baseX() > a.baseX());
        QVERIFY(b.baseY() > a.baseY());
    }

    void theDragPayloadCarriesTheNameZeroTerminated() {
        QCOMPARE(SetDragMimeType(), QString("application/x-kivo-cf-kivo-drag-drop"));
        std::unique_ptr<QMimeData> data(MakeSetDragData("Docs"));
        QCOMPARE(data->data(SetDragMimeType()), QByteArray("Docs\0", 5));
        std::string name;
        QVERIFY(ReadSetDragData(data.get(), name));
        QCOMPARE(name, std::string("Docs"));

        QMimeData foreign;
        foreign.setText("Docs");
        QVERIFY(!ReadSetDragData(&foreign, name));
        QMimeData unterminated;
        unterminated.setData(SetDragMimeType(), QByteArray("Music\0junk", 10));
        QVERIFY(ReadSetDragData(&unterminated, name));
        QCOMPARE(name, std::string("Music"));
    }

    void tableTextsShowLineBreaksOnce() {
        QCOMPARE(DisplayText("a\r\nb"), QString("a\nb"));
        QCOMPARE(UiText(IDS_REMOVE_OPERATION, "Docs"), QString("Remove [Docs]?"));
        QVERIFY(!UiText(IDS_REMOVE_SETS).contains('\r'));
    }

    void scriptedBoxesAnswerInOrderAndNest() {
        MessageScript outer;
        outer.Answer(MessageAnswer::Yes);
        {
            MessageScript inner;
            QVERIFY(!AskYesNo(nullptr, "unanswered"));  // No when the answers ran out
            ShowExclamation(nullptr, "folder");
            QCOMPARE(inner.shown().size(), size_t{2});
            QCOMPARE(inner.shown()[1].icon, MessageIcon::Exclamation);
        }
        QVERIFY(AskYesNo(nullptr, "answered"));
        ShowInformation(nullptr, "failed");
        QCOMPARE(outer.shown().size(), size_t{2});
        QCOMPARE(outer.shown()[1].icon, MessageIcon::Information);
    }

    void everyIconHasArtwork() {
        for (IconId id : {ICON_PROGRAM, ICON_DELETE, ICON_COPY, ICON_MOVE, ICON_SET, ICON_ZIP,
                          ICON_SAVED_MARKER, ICON_UNZIP}) {
            const QImage image = IconPixmap(id, 32).toImage();
            QVERIFY2(!image.isNull(), qPrintable(QString::number(id)));
            int painted = 0;
            for (int y = 0; y < 32; ++y) {
                for (int x = 0; x < 32; ++x) painted += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
            }
            QVERIFY2(painted > 32, qPrintable(QString::number(id)));
        }
        // The marker leaves the kind's icon visible: its centre is clear.
        const QImage marker = IconPixmap(ICON_SAVED_MARKER, 32).toImage();
        QCOMPARE(qAlpha(marker.pixel(20, 10)), 0);
        QVERIFY(IconPixmap(static_cast<IconId>(999), 32).isNull());
    }
};

QTEST_MAIN(DesktopSupportTest)
#include "test_desktop_support.moc"
