#include "cli/Commands.h"

namespace kivo::cli {

namespace {

// The synopsis names the three sources, so the overview shows every option.
constexpr const char* kPasswordChoice =
    "[--password-file FILE | --password-stdin | --ask-password]\n";

constexpr const char* kPasswordLines =
    "  --password-file FILE   the password is the first line of FILE\n"
    "  --password-stdin       the password is the first line of standard input\n"
    "  --ask-password         prompt for the password on the terminal (no echo)\n";

constexpr const char* kAesLine =
    "  --aes                   encrypt with AES-256 (WinZip AE-2) instead of traditional\n"
    "                          zip encryption; needs a password\n";

const std::vector<Command>& Table() {
    static const std::string zipUsage = std::string("zip SET ARCHIVE [--aes] ") + kPasswordChoice +
        "  Packs the files of SET into the archive ARCHIVE (replaced when it exists).\n" +
        kAesLine + kPasswordLines;
    static const std::string unzipUsage =
        std::string("unzip ARCHIVE TARGET [--folder PATH] [--skip-existing] [ENTRY...]\n"
                    "      ") +
        kPasswordChoice +
        "  Extracts into TARGET (created when missing). Without ENTRY and --folder every\n"
        "  entry; with --folder the entries below PATH, named relative to PATH; with\n"
        "  ENTRY names (as `list` shows them) those entries, a folder with all below it.\n"
        "  --folder PATH           the archive folder to extract from\n"
        "  --skip-existing         leave files that exist in TARGET untouched\n" +
        kPasswordLines;
    static const std::string testUsage =
        std::string("test ARCHIVE ") + kPasswordChoice +
        "  Reads and checks every entry (CRC-32, AES authentication code) without\n"
        "  writing anything; one line per failing entry: name, reason. Exit status 0\n"
        "  only when every entry passes.\n" +
        kPasswordLines;
    static const std::string bindUsage =
        std::string("bind delete SET [--passes PASSES] [--remove-empty yes|no|sub]\n"
                    "bind copy SET DEST [--overwrite always|never|if-older] [--skip-missing]\n"
                    "bind move SET DEST [--overwrite always|never|if-older] [--skip-missing]\n"
                    "          [--remove-empty yes|no|sub]\n"
                    "bind zip SET DEST (--name NAME | --prefix PREFIX) [--aes]\n"
                    "         ") +
        kPasswordChoice +
        "  Saves an operation as the last one of the list. SET must exist; DEST is\n"
        "  created. Defaults: 0 passes, remove empty folders \"yes\", overwrite \"always\".\n"
        "  --passes PASSES         overwrite passes, a whole number from 0 to 257\n"
        "  --remove-empty MODE     remove emptied folders: yes, no, sub (sub-folders only)\n"
        "  --overwrite MODE        always, never or if-older\n"
        "  --skip-missing          copy or move only files that exist in DEST already\n"
        "  --name NAME             fixed archive name (\".zip\" added when missing)\n"
        "  --prefix PREFIX         archive named PREFIX + YYMMDDhhmmss + \".zip\" at each run\n"
        "  NAME and PREFIX: at most 32 characters, none of / \\ : * ? \" < > |\n" +
        kAesLine + kPasswordLines;
    static const std::vector<Command> table = {
        {"sets", CommandSets, "sets\n  One line per set: name, entry count.\n"},
        {"show", CommandShow, "show SET\n  One line per entry of SET: path, description.\n"},
        {"set-add", CommandSetAdd,
         "set-add SET PATH... [--no-subfolders] [--include TEXT | --exclude TEXT]\n"
         "  Appends one entry per PATH (a file or a folder) to SET, creating SET when\n"
         "  there is none of that name (1 to 24 characters, unique ignoring case).\n"
         "  A \"..\" after a link leads to the parent of the link's target, as the\n"
         "  kernel takes it; \"Stored as: PATH\" tells the path kept when it is not the\n"
         "  one typed. The root \"/\" can not be an entry.\n"
         "  The options apply to folder entries:\n"
         "  --no-subfolders         do not scan sub-folders\n"
         "  --include TEXT          take only files matching the patterns of TEXT\n"
         "  --exclude TEXT          take all files but those matching TEXT\n"
         "  TEXT: patterns separated by ';' or ',', such as \"*.html; *.gif\"\n"},
        {"set-remove", CommandSetRemove,
         "set-remove SET\n  Removes SET and every saved operation bound to it.\n"},
        {"set-rename", CommandSetRename,
         "set-rename OLD NEW\n  Renames a set; its saved operations follow the new name.\n"},
        {"expand", CommandExpand,
         "expand SET\n"
         "  One line per file of SET: relative name, size in bytes, full path; then\n"
         "  the file count and total size.\n"},
        {"delete", CommandDelete,
         "delete SET [--passes PASSES] [--remove-empty yes|no|sub]\n"
         "  Overwrites and deletes the files of SET. The deleted files can not be\n"
         "  recovered.\n"
         "  --passes PASSES         overwrite passes, a whole number 0 to 257 (default 0)\n"
         "  --remove-empty MODE     remove emptied folders: yes (default), no, sub\n"
         "                          (sub-folders only)\n"},
        {"copy", CommandCopy,
         "copy SET DEST [--overwrite always|never|if-older] [--skip-missing]\n"
         "  Copies the files of SET into DEST (created first) under their relative names.\n"
         "  --overwrite MODE        always, never or if-older (default)\n"
         "  --skip-missing          copy only files that exist in DEST already\n"},
        {"move", CommandMove,
         "move SET DEST [--overwrite always|never|if-older] [--skip-missing]\n"
         "     [--remove-empty yes|no|sub]\n"
         "  Moves the files of SET into DEST (created first).\n"
         "  --overwrite MODE        always, never or if-older (default)\n"
         "  --skip-missing          move only files that exist in DEST already\n"
         "  --remove-empty MODE     remove emptied source folders: yes (default), no, sub\n"},
        {"zip", CommandZip, zipUsage.c_str()},
        {"list", CommandList,
         "list ARCHIVE\n"
         "  One line per entry: name, size, time, CRC-32, encryption: \"-\" (none),\n"
         "  \"zipcrypto\", \"aes-128\", \"aes-192\", \"aes-256\" or \"strong\" (PKWARE's).\n"},
        {"unzip", CommandUnzip, unzipUsage.c_str()},
        {"test", CommandTest, testUsage.c_str()},
        {"survey", CommandSurvey,
         "survey FOLDER... [--no-subfolders]\n"
         "  One line per file extension found: extension, type name, file count, size;\n"
         "  then the totals.\n"
         "  --no-subfolders         only the files directly in each FOLDER\n"},
        {"ops", CommandOps,
         "ops [N | KIND:SET]\n"
         "  One line per saved operation: number, kind, label. With N or KIND:SET\n"
         "  only that operation's line.\n"},
        {"bind", CommandBind, bindUsage.c_str()},
        {"op-remove", CommandOpRemove,
         "op-remove N | KIND:SET\n"
         "  Removes saved operation N, or the first saved operation of KIND (delete,\n"
         "  copy, move or zip) on the set SET, such as copy:Docs (case is ignored).\n"},
        {"run", CommandRun,
         "run N | KIND:SET\n"
         "  Runs saved operation N, or the first saved operation of KIND on the set\n"
         "  SET, such as copy:Docs, and, when it completes, records its last run.\n"
         "  KIND:SET keeps naming the same operation when rows above it are removed.\n"},
    };
    return table;
}

// The synopsis lines of a usage text, indented for the overview: every line
// up to the description, which is the first line indented by exactly two
// spaces. Longer synopses go on in lines indented further.
std::string Synopsis(const std::string& usage) {
    std::string lines;
    std::size_t start = 0;
    while (start < usage.size()) {
        const bool description = usage.compare(start, 2, "  ") == 0 && start + 2 < usage.size() &&
                                 usage[start + 2] != ' ';
        if (description) break;
        std::size_t end = usage.find('\n', start);
        if (end == std::string::npos) end = usage.size();
        lines += "  " + usage.substr(start, end - start) + "\n";
        start = end + 1;
    }
    return lines;
}

}  // namespace

const std::vector<Command>& AllCommands() { return Table(); }

const Command* FindCommand(const std::string& name) {
    for (const Command& command : Table()) {
        if (name == command.name) return &command;
    }
    return nullptr;
}

std::string GeneralUsage() {
    std::string text =
        "Usage: kivo-cli [--data-dir DIR] [-q] COMMAND ARGS...\n"
        "       kivo-cli --help | COMMAND --help\n"
        "\n"
        "  --data-dir DIR   folder of kivos.kvd and kvbind.kvb (default: the desktop\n"
        "                   program's, $XDG_DATA_HOME/KALDORWORKS/kivo)\n"
        "  -q               no progress display\n"
        "\n"
        "Commands:\n";
    for (const Command& command : Table()) text += Synopsis(command.usage);
    text +=
        "\n"
        "Exit status: 0 done, 1 the run failed (or a store was found damaged), 2 usage\n"
        "error or bad input (nothing changed), 130 stopped by Ctrl+C (SIGINT), 143 by\n"
        "SIGTERM, 129 by SIGHUP.\n";
    return text;
}

}  // namespace kivo::cli
