// The start-up presentation: Form_Load on the real window with the recording platform and a
// catalogue file in a temporary folder. What reaches the caption, the labels, the list, the size
// and description boxes, the colours and the buttons, which documents open, and where the
// catalogue is looked for.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWindow>
#include <memory>
#include <optional>

#include "menu/themenu.h"
#include "menu/widgets.h"
#include "platform/fakeplatform.h"
#include "testcatalogue.h"

// Readable QStrings in failure messages.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace {

using menu::TheMenu;
using testcatalogue::Catalogue;
using testcatalogue::colourValue;

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(medium.isValid());
        ASSERT_TRUE(programFolder.isValid());
        fake.cwd = medium.path();
        fake.appPath = programFolder.path();
    }

    // Writes `c` to the medium and runs the start-up; fails the test on an error.
    void load(const Catalogue& c) {
        ASSERT_FALSE(c.writeTo(medium.path()).isEmpty());
        const std::optional<catalogue::Error> error = menu->Form_Load();
        ASSERT_FALSE(error.has_value()) << error->message();
    }

    // Each test starts on a window that has not been loaded yet.
    void fresh() { menu = std::make_unique<TheMenu>(fake); }

    QStringList viewerCalls() const { return fake.calls.filter(QStringLiteral("winExec")); }

    QTemporaryDir medium;
    QTemporaryDir programFolder;
    platform::FakePlatform fake;
    std::unique_ptr<TheMenu> menu = std::make_unique<TheMenu>(fake);
};

TEST_F(StartupTest, CaptionPublisherAndDateLines) {
    struct Case {
        QString title, subtitle, publisher, date;
        QString caption;  // as the window's frame shows it
    };
    const Case cases[] = {
        {"Title", "Sub", "X", "Y", "Title (Sub)"},
        {"Title", "", "X", "Y", "Title ()"},
        {"Tools, Games", "Vol. 2", "Smith & Sons", "1. 1. 2000", "Tools, Games (Vol. 2)"},
        {"Win [*] Pack", "x", "X", "Y", "Win [*] Pack (x)"},
        {"Éditions Été", "Übersicht", "Café", "März", "Éditions Été (Übersicht)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption.toStdString());
        fresh();
        Catalogue catalogue = Catalogue::withEntries(1);
        catalogue.title = c.title;
        catalogue.subtitle = c.subtitle;
        catalogue.publisher = c.publisher;
        catalogue.date = c.date;
        load(catalogue);
        menu->winId();  // the frame's title is set on the native window
        EXPECT_EQ(menu->windowHandle()->title(), c.caption);
        EXPECT_EQ(menu->Label5->text(), QStringLiteral("Published by ") + c.publisher);
        EXPECT_EQ(menu->Label4->text(), QStringLiteral("Date: ") + c.date);
    }
}

TEST_F(StartupTest, ListHoldsTheEntriesInFileOrderAndShowsTheFirst) {
    Catalogue c;
    c.entries = {{"Zebra", "5", "z.sh", "z", "Stripes."},
                 {"Apple", "0", "a.sh", "a", "Fruit."},
                 {"Mango", "7", "m.sh", "m", "More fruit."},
                 {"Apple", "9", "a2.sh", "a2", "Same name."}};
    load(c);
    QStringList items;
    for (int i = 0; i < menu->List1->count(); ++i) items << menu->List1->item(i)->text();
    EXPECT_EQ(items, (QStringList{"Zebra", "Apple", "Mango", "Apple"}));
    EXPECT_EQ(menu->List1->currentRow(), 0);
    EXPECT_EQ(menu->Text1->text(), u"5");
    EXPECT_EQ(menu->Text2->toPlainText(), u"Stripes.");
    EXPECT_EQ(menu->SelectedCommand, u"z.sh");
    EXPECT_EQ(menu->SelectedFolder, u"z");
}

TEST_F(StartupTest, CountLineIsSingularForOneEntryOnly) {
    const std::pair<int, const char*> cases[] = {
        {1, "1 Great Program ready for installation!"},
        {2, "2 Great Programs ready for installation!"},
        {10, "10 Great Programs ready for installation!"},
        {11, "11 Great Programs ready for installation!"},
        {21, "21 Great Programs ready for installation!"},
        {100, "100 Great Programs ready for installation!"},
        {201, "201 Great Programs ready for installation!"},
    };
    for (const auto& [count, text] : cases) {
        fresh();
        load(Catalogue::withEntries(count));
        EXPECT_EQ(menu->Label6->text(), QString::fromLatin1(text));
        EXPECT_EQ(menu->List1->count(), count);
    }
}

TEST_F(StartupTest, SizeOfTheFirstEntryAndWhenTheSizeBoxHides) {
    struct Case {
        const char* written;
        const char* shown;  // nullptr: Text1 and Label2 hidden
    };
    const Case cases[] = {{"5", "5"},           {"0", nullptr},  {"-5", "-5"},    {"32767", "32767"},
                          {"-32768", "-32768"}, {"00", nullptr}, {"1200", "1200"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.written);
        fresh();
        Catalogue catalogue = Catalogue::withEntries(2);
        catalogue.entries[0].size = QString::fromLatin1(c.written);
        load(catalogue);
        EXPECT_EQ(menu->Text1->isHidden(), c.shown == nullptr);
        EXPECT_EQ(menu->Label2->isHidden(), c.shown == nullptr);
        if (c.shown) {
            EXPECT_EQ(menu->Text1->text(), QString::fromLatin1(c.shown));
        }
        // The panel itself stays.
        EXPECT_FALSE(menu->Frame4->isHidden());
    }
}

TEST_F(StartupTest, ColoursReachTheLabelsListAndBoxesButNotTheHint) {
    const QColor colours[9] = {{0x10, 0x20, 0x30}, {0x11, 0x21, 0x31}, {0x12, 0x22, 0x32},
                               {0x13, 0x23, 0x33}, {0x14, 0x24, 0x34}, {0x15, 0x25, 0x35},
                               {0x16, 0x26, 0x36}, {0x17, 0x27, 0x37}, {0x18, 0x28, 0x38}};
    Catalogue c = Catalogue::withEntries(2);
    for (int slot = 0; slot < 9; ++slot) {
        c.colours[slot] = colourValue(colours[slot].red(), colours[slot].green(), colours[slot].blue());
    }
    const QPalette hintBefore = menu->Label7->palette();
    load(c);

    struct Case {
        QWidget* widget;
        QPalette::ColorRole role;
        int slot;
    };
    const Case cases[] = {
        {menu.get(), QPalette::Window, 0},       {menu->Label1, QPalette::Window, 1},
        {menu->Label2, QPalette::Window, 1},     {menu->Label3, QPalette::Window, 1},
        {menu->Label4, QPalette::Window, 1},     {menu->Label5, QPalette::Window, 1},
        {menu->Label6, QPalette::Window, 1},     {menu->Label1, QPalette::WindowText, 2},
        {menu->Label2, QPalette::WindowText, 2}, {menu->Label3, QPalette::WindowText, 2},
        {menu->Label4, QPalette::WindowText, 2}, {menu->Label5, QPalette::WindowText, 2},
        {menu->Label6, QPalette::WindowText, 2}, {menu->List1, QPalette::Base, 3},
        {menu->List1, QPalette::Text, 4},        {menu->Text1, QPalette::Base, 5},
        {menu->Text1, QPalette::Text, 6},        {menu->Text2, QPalette::Base, 7},
        {menu->Text2, QPalette::Text, 8},
    };
    for (const Case& k : cases) {
        EXPECT_EQ(k.widget->palette().color(k.role), colours[k.slot])
            << k.widget->objectName().toStdString() << " role " << k.role << " slot " << k.slot;
    }
    EXPECT_EQ(menu->Label7->palette().color(QPalette::Window), QColor(255, 255, 0));
    EXPECT_EQ(menu->Label7->palette().color(QPalette::WindowText), hintBefore.color(QPalette::WindowText));
    EXPECT_EQ(menu->Frame1->palette().color(QPalette::Window), QColor(0, 0, 255));
    EXPECT_EQ(menu->Frame3->palette().color(QPalette::Window), QColor(0xC0, 0xC0, 0xC0));
}

TEST_F(StartupTest, SystemColoursAndValuesThatAreNoColour) {
    const QPalette desktop = QApplication::palette();
    const QColor unchanged;  // invalid: keep what the window had
    struct Case {
        std::int64_t value;
        QColor colour;
    };
    const Case cases[] = {
        {-2147483633, desktop.color(QPalette::Active, QPalette::Button)},  // &H8000000F button face
        {-2147483643, desktop.color(QPalette::Active, QPalette::Base)},    // &H80000005 window background
        {-2147483640, desktop.color(QPalette::Active, QPalette::Text)},    // &H80000008 window text
        {16777216, unchanged},                                             // &H01000000: high byte set
        {-1, unchanged},                                                   // &HFFFFFFFF
        {-2147483623, unchanged},  // &H80000019: no such system colour
        {16777215, QColor(255, 255, 255)},
        {0, QColor(0, 0, 0)},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.value);
        fresh();
        const QColor labelBefore = menu->Label3->palette().color(QPalette::Window);
        const QColor listBefore = menu->List1->palette().color(QPalette::Text);
        Catalogue c = Catalogue::withEntries(1);
        c.colours[1] = k.value;
        c.colours[4] = k.value;
        load(c);
        EXPECT_EQ(menu->Label3->palette().color(QPalette::Window),
                  k.colour.isValid() ? k.colour : labelBefore);
        EXPECT_EQ(menu->List1->palette().color(QPalette::Text), k.colour.isValid() ? k.colour : listBefore);
    }
}

TEST_F(StartupTest, DocumentFlagsEnableButtonsAndOpenTextsOnlyWhenExactlyOne) {
    struct Case {
        const char *readmeButton, *licenceButton, *readmeAtStart, *licenceAtStart;
        bool readmeEnabled, licenceEnabled;
        QStringList opened;
    };
    const QString readme = QStringLiteral("C:\\Windows\\Notepad.exe readme.txt");
    const QString licence = QStringLiteral("C:\\Windows\\Notepad.exe license.txt");
    const Case cases[] = {
        {"1", "1", "1", "1", true, true, {readme, licence}},
        {"0", "0", "0", "0", false, false, {}},
        {"2", "2", "2", "2", false, false, {}},
        {"1", "0", "0", "0", true, false, {}},
        {"0", "1", "0", "0", false, true, {}},
        {"0", "0", "1", "0", false, false, {readme}},
        {"0", "0", "0", "1", false, false, {licence}},
        {"255", "3", "11", "0", false, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.readmeButton) + c.licenceButton + c.readmeAtStart + c.licenceAtStart);
        fresh();
        fake.calls.clear();
        Catalogue catalogue = Catalogue::withEntries(2);
        catalogue.readmeButton = QString::fromLatin1(c.readmeButton);
        catalogue.licenceButton = QString::fromLatin1(c.licenceButton);
        catalogue.readmeAtStart = QString::fromLatin1(c.readmeAtStart);
        catalogue.licenceAtStart = QString::fromLatin1(c.licenceAtStart);
        load(catalogue);
        EXPECT_EQ(menu->Command2->isEnabled(), c.readmeEnabled);
        EXPECT_EQ(menu->Command3->isEnabled(), c.licenceEnabled);
        QStringList expected;
        for (const QString& command : c.opened)
            expected << QStringLiteral("winExec ") + command + QStringLiteral(" (0) in ") + medium.path();
        EXPECT_EQ(viewerCalls(), expected);
        EXPECT_FALSE(menu->isVisible());
    }
}

TEST_F(StartupTest, MissingOrBrokenCatalogueIsAnErrorThatNamesTheFile) {
    std::optional<catalogue::Error> error = menu->Form_Load();
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->kind, catalogue::Error::Kind::FileNotFound);
    EXPECT_NE(error->message().find("contents.inf"), std::string::npos) << error->message();
    EXPECT_EQ(menu->windowTitle(), u"Here will be you CD's title (subtitle in brackets)");
    EXPECT_EQ(fake.calls.filter(QStringLiteral("changeDirectory")), QStringList());
    EXPECT_EQ(fake.cwd, medium.path());

    // Ends before the end marker: the message says where.
    QStringList lines = Catalogue::withEntries(2).lines();
    lines.removeLast();
    ASSERT_FALSE(testcatalogue::writeCatalogue(medium.path(), lines).isEmpty());
    fresh();
    error = menu->Form_Load();
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->kind, catalogue::Error::Kind::UnexpectedEnd);
    EXPECT_EQ(error->message().rfind("contents.inf, line ", 0), 0u) << error->message();
    EXPECT_TRUE(viewerCalls().isEmpty());
}

TEST_F(StartupTest, CatalogueBesideTheProgramIsReadThereWhenNotInTheCurrentFolder) {
    Catalogue c = Catalogue::withEntries(3);
    c.title = QStringLiteral("Beside");
    c.readmeAtStart = QStringLiteral("1");
    ASSERT_FALSE(c.writeTo(programFolder.path()).isEmpty());
    const std::optional<catalogue::Error> error = menu->Form_Load();
    ASSERT_FALSE(error.has_value()) << error->message();
    EXPECT_TRUE(fake.calls.contains(QStringLiteral("changeDirectory ") + programFolder.path()))
        << fake.calls.join(u'\n').toStdString();
    EXPECT_EQ(fake.cwd, programFolder.path());
    EXPECT_EQ(menu->windowTitle(), u"Beside (Spring Edition)");
    // The viewer finds the readme relative to the folder that now holds the catalogue.
    EXPECT_EQ(viewerCalls(),
              QStringList{QStringLiteral("winExec C:\\Windows\\Notepad.exe readme.txt (0) in ") +
                          programFolder.path()});
}

TEST_F(StartupTest, CatalogueInTheCurrentFolderWinsOverTheOneBesideTheProgram) {
    Catalogue here = Catalogue::withEntries(1);
    here.title = QStringLiteral("Here");
    Catalogue there = Catalogue::withEntries(1);
    there.title = QStringLiteral("There");
    ASSERT_FALSE(there.writeTo(programFolder.path()).isEmpty());
    load(here);
    EXPECT_EQ(menu->windowTitle(), u"Here (Spring Edition)");
    EXPECT_EQ(fake.calls.filter(QStringLiteral("changeDirectory")), QStringList());
}

TEST_F(StartupTest, FolderNamesWithBlanksAndAccents) {
    QDir(medium.path()).mkpath(QStringLiteral("Mein Medium – Ü"));
    fake.cwd = QDir(medium.path()).filePath(QStringLiteral("Mein Medium – Ü"));
    Catalogue c = Catalogue::withEntries(1);
    ASSERT_FALSE(c.writeTo(fake.cwd).isEmpty());
    const std::optional<catalogue::Error> error = menu->Form_Load();
    ASSERT_FALSE(error.has_value()) << error->message();
    EXPECT_EQ(menu->List1->count(), 1);
}

}  // namespace
