// Finding a set by name in a store that holds names differing only in
// letter case, and what renaming and removing a set does to the operations
// bound to such names.
#include "model/NameLookup.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "model/OperationList.h"

namespace kivo {
namespace {

TEST(MatchName, TheExactSpellingWinsAndSeveralOthersAreAmbiguous) {
    const struct {
        std::vector<std::string_view> names;
        const char* wanted;
        NameMatchResult result;
        std::size_t index;  // when Found
    } cases[] = {
        {{"Work", "WORK"}, "WORK", NameMatchResult::Found, 1},
        {{"Work", "WORK"}, "Work", NameMatchResult::Found, 0},
        {{"Work", "WORK"}, "work", NameMatchResult::Ambiguous, 0},
        {{"Work", "WORK", "wOrK"}, "woRK", NameMatchResult::Ambiguous, 0},
        {{"Docs", "Work"}, "WORK", NameMatchResult::Found, 1},      // one fit, any case
        {{"Work", "Work"}, "work", NameMatchResult::Found, 0},      // spelled alike: the first
        {{"Work", "Work"}, "Work", NameMatchResult::Found, 0},
        {{"Docs"}, "Work", NameMatchResult::None, 0},
        {{}, "Work", NameMatchResult::None, 0},
        {{"Straße", "STRASSE"}, "strasse", NameMatchResult::Found, 1},  // no full folding
        {{"Äpfel", "ÄPFEL"}, "äpfel", NameMatchResult::Ambiguous, 0},
    };
    for (const auto& c : cases) {
        const NameMatch match = MatchName(c.names, c.wanted);
        EXPECT_EQ(match.result, c.result) << c.wanted << " among " << c.names.size();
        if (c.result == NameMatchResult::Found) {
            EXPECT_EQ(match.index, c.index) << c.wanted;
        }
    }
    // What an ambiguous name could have meant, in order, only the fits.
    EXPECT_EQ(MatchName({"Work", "Docs", "WORK"}, "work").candidates,
              (std::vector<std::size_t>{0, 2}));
}

std::unique_ptr<Operation> BoundTo(const std::string& setName) {
    auto operation = std::make_unique<Operation>();
    operation->setName = setName;
    return operation;
}

std::vector<std::string> BoundNames(const Operations& operations) {
    std::vector<std::string> names;
    for (const auto& operation : operations) names.push_back(operation->setName);
    return names;
}

// Operations bound to Work, WORK and work; the store's sets are Work and
// WORK, or only Work.
TEST(NameLookupCascades, RemoveTakesOnlyTheOperationsOfTheRemovedSet) {
    const struct {
        const char* removed;
        std::vector<std::string> others;
        std::vector<std::string> kept;
    } cases[] = {
        {"WORK", {"Work"}, {"Work", "work"}},   // "work" fits both: not removed on a guess
        {"Work", {"WORK"}, {"WORK", "work"}},
        {"Work", {"Docs"}, {}},                 // the one set of the name: all its spellings
        {"Work", {}, {}},
        {"Work", {"Work"}, {"Work", "WORK", "work"}},  // a twin spelled alike keeps them
    };
    for (const auto& c : cases) {
        Operations operations;
        for (const char* name : {"Work", "WORK", "work"}) operations.push_back(BoundTo(name));
        operations.push_back(BoundTo("Docs"));
        const std::size_t removed = RemoveSet(operations, c.removed, c.others);
        std::vector<std::string> expected = c.kept;
        expected.push_back("Docs");
        EXPECT_EQ(BoundNames(operations), expected) << c.removed;
        EXPECT_EQ(removed, 4 - expected.size()) << c.removed;
    }
}

TEST(NameLookupCascades, RenameMovesOnlyTheOperationsOfTheRenamedSet) {
    const struct {
        const char* from;
        std::vector<std::string> others;
        std::vector<std::string> after;
    } cases[] = {
        {"WORK", {"Work"}, {"Work", "Papers", "work"}},
        {"Work", {"WORK"}, {"Papers", "WORK", "work"}},
        {"Work", {"Docs"}, {"Papers", "Papers", "Papers"}},
    };
    for (const auto& c : cases) {
        Operations operations;
        for (const char* name : {"Work", "WORK", "work"}) operations.push_back(BoundTo(name));
        RenameSet(operations, c.from, "Papers", c.others);
        EXPECT_EQ(BoundNames(operations), c.after) << c.from;
    }
}

}  // namespace
}  // namespace kivo
