#include "actions/actions.h"

#include <QListWidget>
#include <QPushButton>

#include "menu/themenu.h"
#include "platform/platform.h"

namespace actions {

Actions::Actions(menu::TheMenu& menu, platform::Platform& platform)
    : QObject(&menu), menu_(menu), platform_(platform) {
    connect(menu.Command1, &QPushButton::clicked, this, &Actions::Command1_Click);
    connect(menu.Command2, &QPushButton::clicked, this, &Actions::Command2_Click);
    connect(menu.Command3, &QPushButton::clicked, this, &Actions::Command3_Click);
    connect(menu.Command4, &QPushButton::clicked, this, &Actions::Command4_Click);
    connect(menu.Command5, &QPushButton::clicked, this, &Actions::Command5_Click);
    connect(&menu, &menu::TheMenu::List1_DblClick, this, &Actions::List1_DblClick);
}

void Actions::Command5_Click() {
    menu_.FindSelectedEntry();
    const QString programFolder = platform_.applicationPath();
    const QString entry = menu_.List1->currentItem() ? menu_.List1->currentItem()->text() : QString();

    if (const platform::Failure failure = platform_.changeDirectory(menu_.SelectedFolder)) {
        platform_.changeDirectory(programFolder);
        platform_.showMessage(&menu_,
                              QStringLiteral("Cannot install \"%1\": cannot change to folder \"%2\": %3.")
                                  .arg(entry, menu_.SelectedFolder, *failure));
        return;
    }
    const platform::StartResult started = platform_.shell(menu_.SelectedCommand);
    if (started.failure) {
        // Restore the folder first: the message box waits for the user.
        platform_.changeDirectory(programFolder);
        platform_.showMessage(
            &menu_, QStringLiteral("Cannot install \"%1\": cannot start \"%2\" in folder \"%3\": %4.")
                        .arg(entry, menu_.SelectedCommand, menu_.SelectedFolder, *started.failure));
        return;
    }
    platform_.appActivate(started.taskId);
    platform_.changeDirectory(programFolder);
}

void Actions::List1_DblClick() {
    menu_.List1_Click();
    Command5_Click();
}

void Actions::Command1_Click() {
    platform::OpenDialogRequest request;
    request.cancelError = true;
    request.flags = 4;
    request.filter = QStringLiteral("All Files (*.*)|*.*");
    request.filterIndex = 1;
    // Cancel, closing the dialog and a picked file all end here quietly.
    platform_.showOpen(request);
}

void Actions::Command2_Click() { menu::ShowDocument(platform_, QString::fromLatin1(menu::ReadmeCommand)); }

void Actions::Command3_Click() { menu::ShowDocument(platform_, QString::fromLatin1(menu::LicenseCommand)); }

void Actions::Command4_Click() {
    menu_.hide();
    platform_.endProgram(0);
}

}  // namespace actions
