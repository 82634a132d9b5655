// The selection, install, documents, browse and exit handlers on the real window, with the
// recording platform: which platform calls they make, in which order, and what the user sees.
#include "actions/actions.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "menu/themenu.h"
#include "platform/fakeplatform.h"
#include "platform/realplatform.h"

namespace {

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
        fake.calls.clear();
        menu.present(tablesWith(sample));
        fake.calls.clear();
    }
    void select(int row) { menu.List1->setCurrentRow(row); }
    QString sizeText() const {
        return menu.Text1->isHidden() ? QStringLiteral("hidden") : menu.Text1->text();
    }

    platform::FakePlatform fake;
    menu::TheMenu menu{fake};
    actions::Actions handlers{menu, fake};
};

TEST_F(MenuTest, HighlightShowsSizeAndDescriptionOfTheFirstEntryWithThatName) {
    struct Case {
        int row;
        QString size;
        bool headingShown;
        QString description;
    };
    const Case cases[] = {
        {1, "hidden", false, "Some fonts."}, {0, "1200", true, "An editor."},
        {1, "hidden", false, "Some fonts."}, {2, "-5", true, "A game, with cards."},
        {3, "1200", true, "An editor."},  // same name as entry 1: entry 1 wins
    };
    for (const Case& c : cases) {
        select(c.row);
        EXPECT_EQ(sizeText(), c.size) << "row " << c.row;
        EXPECT_EQ(!menu.Label2->isHidden(), c.headingShown) << "row " << c.row;
        EXPECT_EQ(menu.Text2->toPlainText(), c.description) << "row " << c.row;
    }
}

TEST_F(MenuTest, ArrowKeysRefreshTheDetailsAsClicksDo) {
    menu.show();
    menu.List1->setFocus();
    select(0);
    QTest::keyClick(menu.List1, Qt::Key_Down);
    EXPECT_EQ(menu.List1->currentRow(), 1);
    EXPECT_TRUE(menu.Text1->isHidden());
    EXPECT_EQ(menu.Text2->toPlainText(), "Some fonts.");
    QTest::keyClick(menu.List1, Qt::Key_Down);
    EXPECT_EQ(sizeText(), "-5");
    QTest::keyClick(menu.List1, Qt::Key_Up);
    QTest::keyClick(menu.List1, Qt::Key_Up);
    EXPECT_EQ(sizeText(), "1200");
}

TEST_F(MenuTest, InstallCallsThePlatformInOrderAndRestoresTheMenusFolder) {
    select(0);
    menu.Command5->click();
    EXPECT_EQ(fake.calls, QStringList({"applicationPath", "changeDirectory editor",
                                       "shell setup.sh in /media/cdrom/editor", "appActivate 1001",
                                       "changeDirectory /media/cdrom"}));
    EXPECT_EQ(fake.cwd, "/media/cdrom");
}

TEST_F(MenuTest, TwoInstallsInARowResolveTheSecondFolderFromTheMenusFolder) {
    fake.cwd = "/somewhere/else";  // the current directory at start-up is not the medium
    select(0);
    menu.Command5->click();
    select(2);
    menu.Command5->click();
    const QStringList shells = fake.calls.filter(QStringLiteral("shell "));
    ASSERT_EQ(shells.size(), 2);
    EXPECT_EQ(shells[0], "shell setup.sh in /somewhere/else/editor");
    EXPECT_EQ(shells[1], "shell \"card setup.sh\" \"a; b\" in /media/cdrom/games/cards");
    EXPECT_EQ(fake.calls.filter("appActivate"), QStringList({"appActivate 1001", "appActivate 1002"}));
}

TEST_F(MenuTest, FailuresAreShownAndTheMenuStaysWithItsSelectionAndFolder) {
    struct Case {
        const char* what;
        std::function<void()> arrange;
        QString message;
        bool started;
    };
    const Case cases[] = {
        {"missing folder", [&] { fake.missingFolders.insert("editor"); },
         "showMessage Cannot install \"Text Editor\": cannot change to folder \"editor\": no such folder.",
         false},
        {"command that cannot start", [&] { fake.unstartableCommands.insert("setup.sh"); },
         "showMessage Cannot install \"Text Editor\": cannot start \"setup.sh\" in folder \"editor\": no "
         "such file.",
         false},
    };
    for (const Case& c : cases) {
        fake.missingFolders.clear();
        fake.unstartableCommands.clear();
        fake.cwd = "/media/cdrom";
        c.arrange();
        select(0);
        fake.calls.clear();
        menu.Command5->click();
        EXPECT_TRUE(fake.calls.contains(c.message)) << c.what << ": " << fake.calls.join(" / ").toStdString();
        EXPECT_TRUE(fake.calls.filter("appActivate").isEmpty()) << c.what;
        EXPECT_EQ(fake.cwd, "/media/cdrom") << c.what;
        EXPECT_FALSE(fake.calls.filter("endProgram").size()) << c.what;
        // The folder is restored before the message waits for the user.
        EXPECT_LT(fake.calls.indexOf("changeDirectory /media/cdrom"), fake.calls.indexOf(c.message))
            << c.what;
        EXPECT_EQ(menu.List1->currentRow(), 0) << c.what;
        EXPECT_EQ(menu.SelectedCommand, "setup.sh") << c.what;
    }
}

TEST_F(MenuTest, DoubleClickRefreshesTheDetailsBeforeInstalling) {
    menu.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    select(0);
    // The details were changed behind the list's back; the double click must refresh them.
    menu.Text2->setPlainText("stale");
    QListWidgetItem* item = menu.List1->item(2);
    const QPoint centre = menu.List1->visualItemRect(item).center();
    // A real double click: press and release, then the second press arrives as a double click.
    QTest::mouseClick(menu.List1->viewport(), Qt::LeftButton, {}, centre);
    menu.Text2->setPlainText("stale");
    QTest::mouseDClick(menu.List1->viewport(), Qt::LeftButton, {}, centre);
    EXPECT_EQ(menu.List1->currentRow(), 2);
    EXPECT_EQ(menu.Text2->toPlainText(), "A game, with cards.");
    ASSERT_EQ(fake.calls.filter("shell ").size(), 1);
    EXPECT_TRUE(fake.calls.filter("shell ").first().startsWith("shell \"card setup.sh\""));
}

TEST(Selection, EntryTwoHundredAndOneCanBeSelectedAndInstalled) {
    std::vector<Entry> entries;
    for (int n = 1; n <= catalogue::MaxEntries; ++n) {
        entries.push_back({"Program " + std::to_string(n), n, "setup" + std::to_string(n) + ".sh",
                           "p" + std::to_string(n), "Entry " + std::to_string(n)});
    }
    platform::FakePlatform fake;
    menu::TheMenu menu(fake);
    actions::Actions handlers(menu, fake);
    menu.present(tablesWith(entries));
    ASSERT_EQ(menu.List1->count(), 201);
    menu.List1->setCurrentRow(200);
    EXPECT_EQ(menu.Text1->text(), "201");
    EXPECT_EQ(menu.Text2->toPlainText(), "Entry 201");
    menu.Command5->click();
    EXPECT_TRUE(fake.calls.contains("shell setup201.sh in /media/cdrom/p201"));
}

TEST_F(MenuTest, DocumentButtonsRunTheViewerEveryTimeTheyArePressed) {
    menu.Command2->click();
    menu.Command2->click();
    menu.Command3->click();
    EXPECT_EQ(fake.calls, QStringList({"winExec C:\\Windows\\Notepad.exe readme.txt (0) in /media/cdrom",
                                       "winExec C:\\Windows\\Notepad.exe readme.txt (0) in /media/cdrom",
                                       "winExec C:\\Windows\\Notepad.exe license.txt (0) in /media/cdrom"}));
}

TEST(Documents, DisabledButtonsRaiseNothingByMouse) {
    platform::FakePlatform fake;
    menu::TheMenu menu(fake);
    actions::Actions handlers(menu, fake);
    catalogue::Module1 m = tablesWith(sample);
    m.DocumentFlags = {0, 2, 0, 0, 0};  // 2 is off: only exactly 1 enables
    menu.present(std::move(m));
    menu.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    fake.calls.clear();
    QTest::mouseClick(menu.Command2, Qt::LeftButton);
    QTest::mouseClick(menu.Command3, Qt::LeftButton);
    EXPECT_TRUE(fake.calls.isEmpty()) << fake.calls.join(" / ").toStdString();
}

TEST_F(MenuTest, AfterAnInstallTheDocumentsOpenFromTheMenusFolder) {
    fake.cwd = "/home/user";
    select(0);
    menu.Command5->click();
    menu.Command2->click();
    EXPECT_EQ(fake.calls.last(), "winExec C:\\Windows\\Notepad.exe readme.txt (0) in /media/cdrom");
}

TEST_F(MenuTest, BrowseAsksForTheOpenDialogAndReturnsQuietlyWhateverTheAnswer) {
    const platform::OpenDialogResult answers[] = {{true, {}}, {false, "/media/cdrom/setup.sh"}};
    for (const auto& answer : answers) {
        fake.calls.clear();
        fake.openAnswer = answer;
        menu.Command1->click();
        EXPECT_EQ(fake.calls,
                  QStringList({"showOpen cancelError=1 flags=4 filter=All Files (*.*)|*.* filterIndex=1"}));
    }
}

TEST_F(MenuTest, ExitUnloadsTheWindowAndEndsTheProgram) {
    menu.show();
    menu.Command4->click();
    EXPECT_FALSE(menu.isVisible());
    EXPECT_EQ(fake.calls, QStringList({"endProgram 0"}));
}

TEST(Exit, EndsTheEventLoopWithStatusZero) {
    platform::RealPlatform real;
    menu::TheMenu menu(real);
    actions::Actions handlers(menu, real);
    menu.present(tablesWith(sample));
    menu.show();
    QTimer::singleShot(0, &menu, [&] { menu.Command4->click(); });
    // A second timer would fail the test if the loop were still running.
    QTimer::singleShot(5000, &menu, [] { QCoreApplication::exit(99); });
    EXPECT_EQ(QApplication::exec(), 0);
}

}  // namespace
