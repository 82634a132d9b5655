#pragma once
// The platform services of the Qt front end: the toolkit-free Linux services (PosixPlatform) with
// Qt's file dialog and message boxes.
#include "platform/posix/posixplatform.h"

namespace qt {

class QtPlatform final : public platform::PosixPlatform {
public:
    platform::OpenDialogResult showOpen(const platform::OpenDialogRequest& request) override;
    void showMessage(const std::string& text) override;
    void endProgram(int status) override;  // QCoreApplication::exit

protected:
    bool onX11() const override;  // Qt's platform plug-in is "xcb"
    void showFatalBox(const std::string& text) override;
};

}  // namespace qt
