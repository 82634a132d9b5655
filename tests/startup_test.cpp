// The start-up presentation of the menu's logic (core::Menu::load) on a recording window and the
// recording platform, with a catalogue file in a temporary folder: what reaches the caption, the
// lines, the list, the size and description boxes, the colours and the buttons, which documents
// open, and where the catalogue is looked for.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <optional>

#include "core/menu.h"
#include "platform/fake/fakeplatform.h"
#include "testcatalogue.h"
#include "tests/fakewindow.h"

namespace {

using core::ColourRole;
using core::Control;
using testcatalogue::Catalogue;
using testwindow::FakeWindow;
using Calls = std::vector<std::string>;

std::string pathOf(const QTemporaryDir& dir) { return dir.path().toStdString(); }

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(medium.isValid());
        ASSERT_TRUE(outside.isValid());
        ASSERT_TRUE(QDir().mkpath(programFolder));
        fresh();
    }

    // Writes `c` to the medium and runs the start-up; fails the test on an error.
    void load(const Catalogue& c) {
        ASSERT_FALSE(c.writeTo(medium.path()).isEmpty());
        const std::optional<catalogue::Error> error = menu->load();
        ASSERT_FALSE(error.has_value()) << error->message();
    }

    // A window and a platform that have seen nothing yet, the medium current.
    void fresh() {
        menu.reset();
        fake = platform::FakePlatform();
        fake.cwd = pathOf(medium);
        fake.appPath = programFolder.toStdString();
        window = FakeWindow();
        menu = std::make_unique<core::Menu>(window, fake);
    }

    QTemporaryDir medium;
    // The program in a folder of its own, in a folder without a catalogue (not the shared /tmp).
    QTemporaryDir outside;
    const QString programFolder = outside.path() + "/discmenu";
    platform::FakePlatform fake;
    FakeWindow window;
    std::unique_ptr<core::Menu> menu;
};

TEST_F(StartupTest, CaptionPublisherAndDateLines) {
    struct Case {
        QString title, subtitle, publisher, date;
        std::string caption;
    };
    const Case cases[] = {
        {"Title", "Sub", "X", "Y", "Title (Sub)"},
        {"Title", "", "X", "Y", "Title ()"},
        {"Tools, Games", "Vol. 2", "Smith & Sons", "1. 1. 2000", "Tools, Games (Vol. 2)"},
        {"Éditions Été", "Übersicht", "Café", "März", "Éditions Été (Übersicht)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption);
        fresh();
        Catalogue catalogue = Catalogue::withEntries(1);
        catalogue.title = c.title;
        catalogue.subtitle = c.subtitle;
        catalogue.publisher = c.publisher;
        catalogue.date = c.date;
        load(catalogue);
        EXPECT_EQ(window.caption, c.caption);
        EXPECT_EQ(window.text(Control::PublisherLine), "Published by " + c.publisher.toStdString());
        EXPECT_EQ(window.text(Control::DateLine), "Date: " + c.date.toStdString());
    }
}

TEST_F(StartupTest, ListHoldsTheEntriesInFileOrderAndShowsTheFirst) {
    Catalogue c;
    c.entries = {{"Zebra", "5", "z.sh", "z", "Stripes."},
                 {"Apple", "0", "a.sh", "a", "Fruit."},
                 {"Mango", "7", "m.sh", "m", "More fruit."},
                 {"Apple", "9", "a2.sh", "a2", "Same name."}};
    load(c);
    EXPECT_EQ(window.items, (std::vector<std::string>{"Zebra", "Apple", "Mango", "Apple"}));
    EXPECT_EQ(window.highlighted, 0);
    EXPECT_EQ(window.shown(Control::SizeBox), "5");
    EXPECT_EQ(window.text(Control::DescriptionBox), "Stripes.");
    EXPECT_EQ(menu->selection().command, "z.sh");
    EXPECT_EQ(menu->selection().folder, "z");
}

TEST_F(StartupTest, CountLineIsSingularForOneEntryOnly) {
    const std::pair<int, const char*> cases[] = {
        {1, "1 Great Program ready for installation!"},
        {2, "2 Great Programs ready for installation!"},
        {11, "11 Great Programs ready for installation!"},
        {21, "21 Great Programs ready for installation!"},
        {201, "201 Great Programs ready for installation!"},
    };
    for (const auto& [count, text] : cases) {
        fresh();
        load(Catalogue::withEntries(count));
        EXPECT_EQ(window.text(Control::CountLine), text);
        EXPECT_EQ(window.items.size(), std::size_t(count));
    }
}

TEST_F(StartupTest, SizeOfTheFirstEntryAndWhenTheSizeBoxHides) {
    const std::pair<const char*, const char*> cases[] = {
        {"5", "5"}, {"0", "hidden"}, {"-5", "-5"}, {"32767", "32767"}, {"-32768", "-32768"}, {"00", "hidden"},
    };
    for (const auto& [written, shown] : cases) {
        SCOPED_TRACE(written);
        fresh();
        Catalogue catalogue = Catalogue::withEntries(2);
        catalogue.entries[0].size = QString::fromLatin1(written);
        load(catalogue);
        EXPECT_EQ(window.shown(Control::SizeBox), shown);
        EXPECT_EQ(window.visible[int(Control::SizeHeading)], std::string(shown) != "hidden");
        // The panel itself stays.
        EXPECT_TRUE(window.visible[int(Control::SizePanel)]);
    }
}

TEST_F(StartupTest, ColoursReachTheLinesListAndBoxesButNotTheHint) {
    Catalogue c = Catalogue::withEntries(2);
    for (int slot = 0; slot < 9; ++slot)
        c.colours[slot] = testcatalogue::colourValue(0x10 + slot, 0x20, 0x30);
    load(c);
    const auto plain = [](int slot) { return core::Colour{false, 0, std::uint8_t(0x10 + slot), 0x20, 0x30}; };

    std::map<std::pair<Control, ColourRole>, core::Colour> expected{
        {{Control::Window, ColourRole::Background}, plain(0)},
        {{Control::ProgramList, ColourRole::Background}, plain(3)},
        {{Control::ProgramList, ColourRole::Text}, plain(4)},
        {{Control::SizeBox, ColourRole::Background}, plain(5)},
        {{Control::SizeBox, ColourRole::Text}, plain(6)},
        {{Control::DescriptionBox, ColourRole::Background}, plain(7)},
        {{Control::DescriptionBox, ColourRole::Text}, plain(8)},
    };
    for (Control line : {Control::ListHeading, Control::SizeHeading, Control::DescriptionHeading,
                         Control::DateLine, Control::PublisherLine, Control::CountLine}) {
        expected[{line, ColourRole::Background}] = plain(1);
        expected[{line, ColourRole::Text}] = plain(2);
    }
    // Exactly these: the hint, the panels and the buttons keep their design colours.
    EXPECT_EQ(window.colours, expected);
}

TEST_F(StartupTest, SystemColoursAndValuesThatAreNoColour) {
    struct Case {
        std::int64_t value;
        std::optional<core::Colour> colour;  // nothing: the control is left alone
    };
    const Case cases[] = {
        {-2147483633, core::Colour{true, 15}},  // &H8000000F button face
        {-2147483640, core::Colour{true, 8}},   // &H80000008 window text
        {16777216, std::nullopt},               // &H01000000: high byte set
        {-1, std::nullopt},                     // &HFFFFFFFF
        {-2147483623, std::nullopt},            // &H80000019: no such system colour
        {16777215, core::Colour{false, 0, 255, 255, 255}},
        {0, core::Colour{false, 0, 0, 0, 0}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.value);
        fresh();
        Catalogue c = Catalogue::withEntries(1);
        c.colours[1] = k.value;
        c.colours[4] = k.value;
        load(c);
        EXPECT_EQ(window.colour(Control::DescriptionHeading, ColourRole::Background), k.colour);
        EXPECT_EQ(window.colour(Control::ProgramList, ColourRole::Text), k.colour);
    }
}

TEST_F(StartupTest, DocumentFlagsEnableButtonsAndOpenTextsOnlyWhenExactlyOne) {
    struct Case {
        const char *readmeButton, *licenceButton, *readmeAtStart, *licenceAtStart;
        bool readmeEnabled, licenceEnabled;
        std::vector<const char*> opened;
    };
    const char* readme = core::ReadmeCommand;
    const char* licence = core::LicenseCommand;
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
        Catalogue catalogue = Catalogue::withEntries(2);
        catalogue.readmeButton = QString::fromLatin1(c.readmeButton);
        catalogue.licenceButton = QString::fromLatin1(c.licenceButton);
        catalogue.readmeAtStart = QString::fromLatin1(c.readmeAtStart);
        catalogue.licenceAtStart = QString::fromLatin1(c.licenceAtStart);
        load(catalogue);
        EXPECT_EQ(window.enabled[int(Control::ReadmeButton)], c.readmeEnabled);
        EXPECT_EQ(window.enabled[int(Control::LicenseButton)], c.licenceEnabled);
        Calls expected;
        for (const char* command : c.opened)
            expected.push_back(std::string("winExec ") + command + " (1) in " + pathOf(medium));
        EXPECT_EQ(fake.callsTo("winExec"), expected);
    }
}

TEST_F(StartupTest, MissingOrBrokenCatalogueIsAnErrorThatNamesTheFileAndTheFolders) {
    std::optional<catalogue::Error> error = menu->load();
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->kind, catalogue::Error::Kind::FileNotFound);
    const std::string message = error->message();
    EXPECT_EQ(message.rfind("contents.inf", 0), 0u) << message;
    // The current folder, the program's folder and the one above it, in the order searched.
    const std::string parent = pathOf(outside);
    const std::size_t current = message.find(pathOf(medium));
    const std::size_t beside = message.find(programFolder.toStdString());
    const std::size_t above = message.find(" " + parent, beside + programFolder.size());
    ASSERT_TRUE(current != std::string::npos && beside != std::string::npos && above != std::string::npos &&
                current < beside)
        << message;
    EXPECT_NE(message[above + 1 + parent.size()], '/') << message;
    EXPECT_EQ(window.caption, core::PlaceholderCaption);
    EXPECT_TRUE(window.items.empty());
    EXPECT_EQ(fake.callsTo("changeDirectory"), Calls());
    EXPECT_EQ(fake.cwd, pathOf(medium));

    // Ends before the end marker: the message says where.
    QStringList lines = Catalogue::withEntries(2).lines();
    lines.removeLast();
    ASSERT_FALSE(testcatalogue::writeCatalogue(medium.path(), lines).isEmpty());
    fresh();
    error = menu->load();
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->kind, catalogue::Error::Kind::UnexpectedEnd);
    EXPECT_EQ(error->message().rfind("contents.inf, line ", 0), 0u) << error->message();
    EXPECT_TRUE(fake.callsTo("winExec").empty());
    EXPECT_TRUE(window.items.empty());
}

// Started from elsewhere, the menu finds the catalogue beside itself or in the folder above its
// own (the medium's root when the program has a folder there); that folder becomes current, and
// the documents open relative to it. A catalogue in the current folder wins.
TEST_F(StartupTest, CatalogueIsLookedForInTheCurrentFolderThenBesideTheProgramThenAboveIt) {
    struct Case {
        const char* name;
        QStringList holding;  // the folders with a catalogue, relative to the medium ("": the medium)
        QString found;        // whose catalogue is read: the folder that becomes current
    };
    const Case cases[] = {
        {"beside the program", {"discmenu"}, "discmenu"},
        {"above the program", {""}, ""},
        {"beside wins over above", {"discmenu", ""}, "discmenu"},
        {"current folder wins", {"elsewhere", "discmenu", ""}, "elsewhere"},
    };
    const auto title = [](const QString& folder) {
        return folder.isEmpty() ? QStringLiteral("root") : folder;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir root;
        const QString base = root.path() + "/medium";
        for (const char* folder : {"discmenu", "elsewhere"}) ASSERT_TRUE(QDir().mkpath(base + "/" + folder));
        for (const QString& folder : c.holding) {
            Catalogue catalogue = Catalogue::withEntries(1);
            catalogue.title = title(folder);
            catalogue.readmeAtStart = QStringLiteral("1");
            ASSERT_FALSE(catalogue.writeTo(base + "/" + folder).isEmpty());
        }
        fresh();
        fake.cwd = (base + "/elsewhere").toStdString();
        fake.appPath = (base + "/discmenu").toStdString();
        const std::string found = QDir::cleanPath(base + "/" + c.found).toStdString();
        const std::optional<catalogue::Error> error = menu->load();
        ASSERT_FALSE(error.has_value()) << error->message();
        EXPECT_EQ(window.caption, title(c.found).toStdString() + " (Spring Edition)");
        EXPECT_EQ(fake.cwd, found);
        EXPECT_EQ(fake.callsTo("changeDirectory"),
                  c.found == u"elsewhere" ? Calls() : Calls{"changeDirectory " + found});
        EXPECT_EQ(fake.callsTo("winExec"),
                  Calls{std::string("winExec ") + core::ReadmeCommand + " (1) in " + found});
    }
}

TEST_F(StartupTest, FolderNamesWithBlanksAndAccents) {
    const QString folder = QDir(medium.path()).filePath(QStringLiteral("Mein Medium – Ü"));
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_FALSE(Catalogue::withEntries(1).writeTo(folder).isEmpty());
    fake.appPath = folder.toStdString() + "/discmenu";
    const std::optional<catalogue::Error> error = menu->load();
    ASSERT_FALSE(error.has_value()) << error->message();
    EXPECT_EQ(window.items.size(), 1u);
    EXPECT_EQ(fake.cwd, folder.toStdString());
}

}  // namespace
