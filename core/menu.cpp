#include "core/menu.h"

#include <algorithm>
#include <string_view>
#include <variant>
#include <vector>

namespace core {
namespace {

bool isSeparator(char c) { return c == '/' || c == '\\'; }

// A folder as given, without separators at its end ("/media/cdrom/" and "/media/cdrom" name one
// folder), but keeping a root ("/", "C:\\").
std::string withoutTrailingSeparators(std::string folder) {
    while (folder.size() > 1 && isSeparator(folder.back()) && folder[folder.size() - 2] != ':')
        folder.pop_back();
    return folder;
}

// The folder that holds `folder`; empty for a root.
std::string parentOf(const std::string& folder) {
    const std::size_t last = folder.find_last_of("/\\");
    if (last == std::string::npos || last + 1 == folder.size()) return {};
    if (last == 0) return folder.substr(0, 1);
    if (folder[last - 1] == ':') return folder.substr(0, last + 1);
    return folder.substr(0, last);
}

std::string fileIn(const std::string& folder, const char* name) {
    if (folder.empty() || isSeparator(folder.back())) return folder + name;
    return folder +
           (folder.find('\\') != std::string::npos && folder.find('/') == std::string::npos ? "\\" : "/") +
           name;
}

// A text read back from the window, without leading and trailing blanks.
std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

Menu::Menu(Window& window, platform::Platform& platform)
    : window_(window), platform_(platform), tables_(std::make_unique<catalogue::Module1>()) {}

Menu::~Menu() = default;

std::optional<catalogue::Error> Menu::load() {
    // Started from a desktop, the current directory is often not the medium: look beside the
    // program too, and in the folder above it, where the catalogue is when the program has a
    // folder of its own on the medium. The first folder that holds a catalogue becomes current.
    const std::string current = withoutTrailingSeparators(platform_.currentDirectory());
    const std::string programFolder = withoutTrailingSeparators(platform_.applicationPath());
    std::vector<std::string> searched{current};
    for (const std::string& folder : {programFolder, parentOf(programFolder)}) {
        if (!folder.empty() && std::find(searched.begin(), searched.end(), folder) == searched.end())
            searched.push_back(folder);
    }

    std::optional<catalogue::Error> missing;
    for (std::size_t i = 0; i < searched.size(); ++i) {
        catalogue::Result result =
            catalogue::loadCatalogue(fileIn(searched[i], catalogue::CatalogueFileName));
        if (auto* error = std::get_if<catalogue::Error>(&result)) {
            if (error->kind == catalogue::Error::Kind::FileNotFound) {
                if (!missing) missing = std::move(*error);
                continue;
            }
            return *error;
        }
        if (i > 0) platform_.changeDirectory(searched[i]);
        present(std::move(std::get<catalogue::Module1>(result)));
        return std::nullopt;
    }
    if (searched.size() > 1) {
        missing->what += ", nor in";
        for (std::size_t i = 1; i < searched.size(); ++i)
            missing->what += (i > 1 ? " or " : " ") + searched[i];
        missing->what += ", where the menu program looks next";
    }
    return missing;
}

void Menu::present(catalogue::Module1 tables) {
    *tables_ = std::move(tables);
    const catalogue::Module1& m = *tables_;

    window_.setCaption(m.Title + " (" + m.Subtitle + ")");
    window_.setText(Control::PublisherLine, "Published by " + m.Publisher);
    window_.setText(Control::DateLine, "Date: " + m.Date);

    for (int n = 1; n <= m.ProgramCount; ++n) window_.addListItem(m.ProgramName[n]);

    // Highlighting the first item shows its details at once, as the user's highlight does.
    window_.selectListItem(0);
    highlightChanged();

    // Slot 1 of the table, whatever the list shows first; the box hides only for a size of 0.
    window_.setText(Control::SizeBox, std::to_string(m.ProgramSize[1]));
    window_.setText(Control::DescriptionBox, m.ProgramDescription[1]);
    if (trimmed(window_.text(Control::SizeBox)) == "0") {
        window_.setVisible(Control::SizeBox, false);
        window_.setVisible(Control::SizeHeading, false);
    }

    const std::string count = std::to_string(m.ProgramCount);
    window_.setText(Control::CountLine, count + " Great Programs ready for installation!");
    if (window_.text(Control::CountLine).starts_with("1 "))
        window_.setText(Control::CountLine, count + " Great Program ready for installation!");

    const auto colour = [this](Control control, ColourRole role, std::int32_t value) {
        if (const auto decoded = decodeColour(value)) window_.setColour(control, role, *decoded);
    };
    constexpr Control lines[] = {Control::ListHeading, Control::SizeHeading,   Control::DescriptionHeading,
                                 Control::DateLine,    Control::PublisherLine, Control::CountLine};
    colour(Control::Window, ColourRole::Background, m.ColourTable[0]);
    for (Control line : lines) colour(line, ColourRole::Background, m.ColourTable[1]);
    for (Control line : lines) colour(line, ColourRole::Text, m.ColourTable[2]);
    colour(Control::ProgramList, ColourRole::Background, m.ColourTable[3]);
    colour(Control::ProgramList, ColourRole::Text, m.ColourTable[4]);
    colour(Control::SizeBox, ColourRole::Background, m.ColourTable[5]);
    colour(Control::SizeBox, ColourRole::Text, m.ColourTable[6]);
    colour(Control::DescriptionBox, ColourRole::Background, m.ColourTable[7]);
    colour(Control::DescriptionBox, ColourRole::Text, m.ColourTable[8]);

    if (m.flagOn(1)) window_.setEnabled(Control::ReadmeButton, true);
    if (m.flagOn(3)) window_.setEnabled(Control::LicenseButton, true);

    if (m.flagOn(2)) showDocument(ReadmeCommand);
    if (m.flagOn(4)) showDocument(LicenseCommand);
}

void Menu::findSelectedEntry() {
    const int k = window_.selectedListItem();
    if (k < 0) return;
    const std::string name = window_.listItem(k);
    const catalogue::Module1& m = *tables_;
    // Every stored slot is searched, up to the last (201), so that every listed entry can be
    // selected; the first slot with the name wins.
    for (int slot = 1; slot <= catalogue::MaxEntries; ++slot) {
        if (name == m.ProgramName[slot]) {
            selection_ = {m.ProgramSize[slot], m.ProgramCommand[slot], m.ProgramFolder[slot],
                          m.ProgramDescription[slot]};
            return;
        }
    }
}

void Menu::highlightChanged() {
    findSelectedEntry();
    refreshDetails();
}

void Menu::refreshDetails() {
    window_.setText(Control::SizeBox, std::to_string(selection_.size));
    const bool zero = trimmed(window_.text(Control::SizeBox)) == "0";
    window_.setVisible(Control::SizeBox, !zero);
    window_.setVisible(Control::SizeHeading, !zero);
    window_.setText(Control::DescriptionBox, selection_.description);
}

void Menu::doubleClicked() {
    highlightChanged();
    install();
}

void Menu::clicked(Control button) {
    switch (button) {
        case Control::InstallButton:
            return install();
        case Control::BrowseButton:
            return browse();
        case Control::ReadmeButton:
            return showReadme();
        case Control::LicenseButton:
            return showLicense();
        case Control::ExitButton:
            return exit();
        default:
            return;
    }
}

void Menu::closeRequested() { exit(); }

void Menu::install() {
    findSelectedEntry();
    // The folder current now is the one where start-up found the catalogue: the documents and every
    // entry's folder are relative to it. It becomes current again after the set-up started or
    // failed, so that the next install and the documents are found as before; the program's own
    // folder would not do where the program lies in a folder of its own on the medium.
    const std::string catalogueFolder = platform_.currentDirectory();
    const int k = window_.selectedListItem();
    const std::string entry = k >= 0 ? window_.listItem(k) : std::string();

    // A failure is told to the user once that folder is current again (the message box waits for
    // the user); the menu stays open with its selection.
    if (const platform::Failure failure = platform_.changeDirectory(selection_.folder)) {
        platform_.changeDirectory(catalogueFolder);
        platform_.showMessage("Cannot install \"" + entry + "\": cannot change to folder \"" +
                              selection_.folder + "\": " + *failure + ".");
        return;
    }
    const platform::StartResult started = platform_.shell(selection_.command);
    if (started.failure) {
        platform_.changeDirectory(catalogueFolder);
        platform_.showMessage("Cannot install \"" + entry + "\": cannot start \"" + selection_.command +
                              "\" in folder \"" + selection_.folder + "\": " + *started.failure + ".");
        return;
    }
    platform_.appActivate(started.taskId);
    platform_.changeDirectory(catalogueFolder);
}

void Menu::browse() {
    platform::OpenDialogRequest request;
    request.cancelError = true;
    request.flags = 4;
    request.filter = "All Files (*.*)|*.*";
    request.filterIndex = 1;
    // Cancel, closing the dialog and a picked file all end here quietly.
    platform_.showOpen(request);
}

void Menu::showReadme() { showDocument(ReadmeCommand); }

void Menu::showLicense() { showDocument(LicenseCommand); }

void Menu::showDocument(const char* commandLine) { platform_.winExec(commandLine, ViewerShowState); }

void Menu::exit() {
    window_.close();
    platform_.endProgram(0);
}

}  // namespace core
