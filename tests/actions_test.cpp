// The selection, install, documents, browse and exit of the menu's logic (core::Menu), on a
// recording window with the recording platform: which platform calls they make, in which order,
// and what the window shows.
#include <gtest/gtest.h>

#include <functional>

#include "core/menu.h"
#include "platform/fake/fakeplatform.h"
#include "tests/fakewindow.h"

namespace {

using core::Control;
using testwindow::FakeWindow;
using Calls = std::vector<std::string>;

struct Entry {
    std::string name;
    std::int32_t size;
    std::string command, folder, description;
};

catalogue::Module1 tablesWith(const std::vector<Entry>& entries) {
    catalogue::Module1 m;
    m.Title = "Title";
    m.Subtitle = "Sub";
    m.DocumentFlags = {0, 1, 0, 1, 0};
    for (const Entry& e : entries) {
        const int n = ++m.ProgramCount;
        m.ProgramName.at(n) = e.name;
        m.ProgramSize.at(n) = e.size;
        m.ProgramCommand.at(n) = e.command;
        m.ProgramFolder.at(n) = e.folder;
        m.ProgramDescription.at(n) = e.description;
    }
    return m;
}

const std::vector<Entry> sample{
    {"Text Editor", 1200, "setup.sh", "editor", "An editor."},
    {"Fonts", 0, "install.sh --all", "fonts", "Some fonts."},
    {"Card Game", -5, "\"card setup.sh\" \"a; b\"", "games\\cards", "A game, with cards."},
    {"Text Editor", 7, "other.sh", "other", "A second entry with the same name."},
};

class MenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        menu.present(tablesWith(sample));
        fake.calls.clear();
    }
    // The user highlights an item: the front end moves the highlight and tells the logic.
    void select(int row) {
        window.selectListItem(row);
        menu.highlightChanged();
    }
    void install() { menu.clicked(Control::InstallButton); }

    platform::FakePlatform fake;
    FakeWindow window{&fake.calls};
    core::Menu menu{window, fake};
};

TEST_F(MenuTest, HighlightShowsSizeAndDescriptionOfTheFirstEntryWithThatName) {
    struct Case {
        int row;
        std::string size;  // "hidden": the box and its heading are hidden
        std::string description;
    };
    const Case cases[] = {
        {1, "hidden", "Some fonts."},     {0, "1200", "An editor."}, {1, "hidden", "Some fonts."},
        {2, "-5", "A game, with cards."}, {3, "1200", "An editor."},  // same name as entry 1: entry 1 wins
    };
    for (const Case& c : cases) {
        select(c.row);
        EXPECT_EQ(window.shown(Control::SizeBox), c.size) << "row " << c.row;
        EXPECT_EQ(window.visible[int(Control::SizeHeading)], c.size != "hidden") << "row " << c.row;
        EXPECT_EQ(window.text(Control::DescriptionBox), c.description) << "row " << c.row;
    }
}

TEST_F(MenuTest, InstallCallsThePlatformInOrderAndRestoresTheCatalogueFolder) {
    select(0);
    install();
    EXPECT_EQ(fake.calls, (Calls{"changeDirectory editor", "shell setup.sh in /media/cdrom/editor",
                                 "appActivate 1001", "changeDirectory /media/cdrom"}));
    EXPECT_EQ(fake.cwd, "/media/cdrom");
}

// Installs in a row, one of them failing, then the readme: every entry's folder and the document
// are found from the folder where start-up found the catalogue, wherever the program lies.
TEST_F(MenuTest, InstallsInARowAndTheReadmeAfterThemStartFromTheCatalogueFolder) {
    struct Case {
        const char* layout;
        std::string programFolder, catalogueFolder;
    };
    const Case cases[] = {
        {"program beside the catalogue", "/media/cdrom", "/media/cdrom"},
        {"program in discmenu/ under the catalogue", "/media/cdrom/discmenu", "/media/cdrom"},
        {"catalogue in the folder the menu was started from", "/media/cdrom/discmenu", "/somewhere/else"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.layout);
        fake.appPath = c.programFolder;
        fake.cwd = c.catalogueFolder;
        fake.missingFolders = {"fonts"};
        fake.calls.clear();
        for (int row : {0, 1, 2, 0}) {
            select(row);
            install();
        }
        menu.clicked(Control::ReadmeButton);
        const std::string& root = c.catalogueFolder;
        EXPECT_EQ(fake.callsTo("shell "),
                  (Calls{"shell setup.sh in " + root + "/editor",
                         "shell \"card setup.sh\" \"a; b\" in " + root + "/games/cards",
                         "shell setup.sh in " + root + "/editor"}));
        EXPECT_EQ(
            fake.callsTo("showMessage"),
            Calls{
                "showMessage Cannot install \"Fonts\": cannot change to folder \"fonts\": no such folder."});
        EXPECT_EQ(fake.callsTo("winExec"),
                  Calls{"winExec C:\\Windows\\Notepad.exe readme.txt (1) in " + root});
        EXPECT_EQ(fake.cwd, root);
    }
}

TEST_F(MenuTest, FailuresAreShownAndTheMenuStaysWithItsSelectionAndFolder) {
    struct Case {
        const char* what;
        std::function<void()> arrange;
        std::string message;
    };
    const Case cases[] = {
        {"missing folder", [&] { fake.missingFolders.insert("editor"); },
         "showMessage Cannot install \"Text Editor\": cannot change to folder \"editor\": no such folder."},
        {"command that cannot start", [&] { fake.unstartableCommands.insert("setup.sh"); },
         "showMessage Cannot install \"Text Editor\": cannot start \"setup.sh\" in folder \"editor\": no "
         "such file."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fake.missingFolders.clear();
        fake.unstartableCommands.clear();
        fake.cwd = "/media/cdrom";
        c.arrange();
        select(0);
        fake.calls.clear();
        install();
        // The folder is restored before the message waits for the user; nothing is activated.
        ASSERT_GE(fake.calls.size(), 2u);
        EXPECT_EQ(Calls(fake.calls.end() - 2, fake.calls.end()),
                  (Calls{"changeDirectory /media/cdrom", c.message}));
        EXPECT_TRUE(fake.callsTo("appActivate").empty());
        EXPECT_FALSE(window.closed);
        EXPECT_EQ(fake.cwd, "/media/cdrom");
        EXPECT_EQ(window.highlighted, 0);
        EXPECT_EQ(menu.selection().command, "setup.sh");
    }
}

TEST_F(MenuTest, DoubleClickRefreshesTheDetailsBeforeInstalling) {
    select(0);
    // The front end has moved the highlight to the item clicked; the details are not yet refreshed.
    window.selectListItem(2);
    window.setText(Control::DescriptionBox, "stale");
    menu.doubleClicked();
    EXPECT_EQ(window.text(Control::DescriptionBox), "A game, with cards.");
    EXPECT_EQ(window.shown(Control::SizeBox), "-5");
    EXPECT_EQ(fake.callsTo("shell "), Calls{"shell \"card setup.sh\" \"a; b\" in /media/cdrom/games/cards"});
}

TEST(Selection, EntryTwoHundredAndOneCanBeSelectedAndInstalled) {
    std::vector<Entry> entries;
    for (int n = 1; n <= catalogue::MaxEntries; ++n) {
        entries.push_back({"Program " + std::to_string(n), n, "setup" + std::to_string(n) + ".sh",
                           "p" + std::to_string(n), "Entry " + std::to_string(n)});
    }
    platform::FakePlatform fake;
    FakeWindow window;
    core::Menu menu(window, fake);
    menu.present(tablesWith(entries));
    ASSERT_EQ(window.items.size(), 201u);
    window.selectListItem(200);
    menu.highlightChanged();
    EXPECT_EQ(window.shown(Control::SizeBox), "201");
    EXPECT_EQ(window.text(Control::DescriptionBox), "Entry 201");
    menu.clicked(Control::InstallButton);
    EXPECT_EQ(fake.callsTo("shell "), Calls{"shell setup201.sh in /media/cdrom/p201"});
}

TEST_F(MenuTest, DocumentButtonsRunTheViewerEveryTimeEvenAfterAnInstall) {
    menu.clicked(Control::ReadmeButton);
    menu.clicked(Control::ReadmeButton);
    menu.clicked(Control::LicenseButton);
    select(0);
    install();
    menu.clicked(Control::ReadmeButton);
    EXPECT_EQ(fake.callsTo("winExec"),
              (Calls{"winExec C:\\Windows\\Notepad.exe readme.txt (1) in /media/cdrom",
                     "winExec C:\\Windows\\Notepad.exe readme.txt (1) in /media/cdrom",
                     "winExec C:\\Windows\\Notepad.exe license.txt (1) in /media/cdrom",
                     "winExec C:\\Windows\\Notepad.exe readme.txt (1) in /media/cdrom"}));
}

TEST_F(MenuTest, BrowseAsksForTheOpenDialogAndReturnsQuietlyWhateverTheAnswer) {
    const platform::OpenDialogResult answers[] = {{true, {}}, {false, "/media/cdrom/setup.sh"}};
    for (const auto& answer : answers) {
        fake.calls.clear();
        fake.openAnswer = answer;
        menu.clicked(Control::BrowseButton);
        EXPECT_EQ(fake.calls,
                  Calls{"showOpen cancelError=1 flags=4 filter=All Files (*.*)|*.* filterIndex=1"});
        EXPECT_FALSE(window.closed);
    }
}

TEST_F(MenuTest, ExitClosesTheWindowThenEndsTheProgramWithZero) {
    menu.clicked(Control::ExitButton);
    EXPECT_EQ(fake.calls, (Calls{"window close", "endProgram 0"}));
}

TEST_F(MenuTest, ClosingFromTheWindowFrameEndsTheProgramAsExitDoes) {
    menu.closeRequested();
    EXPECT_EQ(fake.calls, (Calls{"window close", "endProgram 0"}));
}

}  // namespace
