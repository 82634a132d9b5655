#include "editor/makemedium.h"

#include <signal.h>
#include <unistd.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

namespace editor {

std::optional<int> MediumProgress::stepOf(const QString& line) const {
    // What make-medium writes when it begins each step.
    if (line.startsWith(QStringLiteral("Building the menu"))) return 1;
    if (line.startsWith(QStringLiteral("Building the Windows menu"))) return 2;
    if (line.startsWith(QStringLiteral("Copying "))) return 3;
    if (image_ && line.startsWith(QStringLiteral("Writing the image "))) return 4;
    if (line.startsWith(QStringLiteral("Medium assembled in "))) return steps();
    return std::nullopt;
}

MakeMediumDialog::MakeMediumDialog(const QString& folder, const QString& script, QWidget* parent)
    : QDialog(parent), folder_(QDir(folder).absolutePath()), script_(script) {
    setObjectName(QStringLiteral("makeMedium"));
    setWindowTitle(QStringLiteral("Make the medium"));
    auto* layout = new QVBoxLayout(this);
    auto* intro =
        new QLabel(QStringLiteral("Copies %1 with the menu for Linux and Windows into a new folder, "
                                  "ready to burn or copy to a stick.")
                       .arg(QDir::toNativeSeparators(folder_)),
                   this);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    auto* form = new QFormLayout;
    const auto pathRow = [&](QLineEdit* edit, const QString& browse, const char* name, auto pick) {
        auto* row = new QHBoxLayout;
        row->addWidget(edit, 1);
        auto* button = new QPushButton(browse, this);
        button->setObjectName(QString::fromLatin1(name));
        button->setAccessibleName(QString(browse).remove(u'&'));
        connect(button, &QPushButton::clicked, this, pick);
        row->addWidget(button);
        return row;
    };
    output_ = new QLineEdit(QDir::toNativeSeparators(folder_ + QStringLiteral("-medium")), this);
    output_->setObjectName(QStringLiteral("mediumFolder"));
    output_->setAccessibleName(QStringLiteral("Medium folder"));
    auto* outputLabel = new QLabel(QStringLiteral("Medium &folder (new or empty):"), this);
    outputLabel->setBuddy(output_);
    form->addRow(outputLabel, pathRow(output_, QStringLiteral("&Browse..."), "browseFolder", [this] {
                     const QString chosen = QFileDialog::getExistingDirectory(
                         this, QStringLiteral("Medium folder"), QFileInfo(output_->text()).path());
                     if (!chosen.isEmpty()) output_->setText(QDir::toNativeSeparators(chosen));
                 }));
    image_ = new QCheckBox(QStringLiteral("Also write an &ISO image:"), this);
    image_->setObjectName(QStringLiteral("writeImage"));
    image_->setAccessibleName(QStringLiteral("Also write an ISO image"));
    imageFile_ = new QLineEdit(QDir::toNativeSeparators(folder_ + QStringLiteral(".iso")), this);
    imageFile_->setObjectName(QStringLiteral("imageFile"));
    imageFile_->setAccessibleName(QStringLiteral("ISO image file"));
    imageFile_->setEnabled(false);
    connect(image_, &QCheckBox::toggled, imageFile_, &QWidget::setEnabled);
    form->addRow(image_, pathRow(imageFile_, QStringLiteral("Bro&wse..."), "browseImage", [this] {
                     const QString chosen =
                         QFileDialog::getSaveFileName(this, QStringLiteral("ISO image"), imageFile_->text(),
                                                      QStringLiteral("ISO images (*.iso)"));
                     if (!chosen.isEmpty()) imageFile_->setText(QDir::toNativeSeparators(chosen));
                 }));
    // With or without the bundled Qt, as make-medium's --no-bundled-qt; bundled unless chosen.
    auto* qtChoice = new QVBoxLayout;
    const auto choice = [&](const QString& text, const char* name, const QString& serves) {
        auto* button = new QRadioButton(text, this);
        button->setObjectName(QString::fromLatin1(name));
        button->setAccessibleName(QString(text).remove(u'&'));
        button->setAccessibleDescription(serves);
        auto* note = new QLabel(serves, this);
        note->setWordWrap(true);
        note->setIndent(button->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth) +
                        button->style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing));
        qtChoice->addWidget(button);
        qtChoice->addWidget(note);
        return button;
    };
    bundledQt_ = choice(QStringLiteral("With the bundled &Qt (59 MiB more)"), "bundledQt",
                        QStringLiteral("The menu also runs on desktops with neither Qt 6 nor GTK 3."));
    noBundledQt_ = choice(QStringLiteral("Wi&thout the bundled Qt"), "noBundledQt",
                          QStringLiteral("A small medium: the menu runs on desktops with Qt 6 or GTK 3."));
    bundledQt_->setChecked(true);
    form->addRow(QStringLiteral("Qt for Linux:"), qtChoice);
    // Room for a path of some length, in the font's own measure.
    for (QLineEdit* edit : {output_, imageFile_})
        edit->setMinimumWidth(edit->fontMetrics().averageCharWidth() * 40);
    layout->addLayout(form);

    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("progress"));
    progress_->setAccessibleName(QStringLiteral("Progress"));
    progress_->setFormat(QStringLiteral("step %v of %m"));
    progress_->setRange(0, MediumProgress(false).steps());
    progress_->setValue(0);
    connect(image_, &QCheckBox::toggled, this, [this](bool on) {
        if (!running()) progress_->setRange(0, MediumProgress(on).steps());
    });
    layout->addWidget(progress_);
    auto* logLabel = new QLabel(QStringLiteral("&Output of make-medium:"), this);
    log_ = new QPlainTextEdit(this);
    log_->setObjectName(QStringLiteral("log"));
    log_->setAccessibleName(QStringLiteral("Output of make-medium"));
    log_->setReadOnly(true);
    log_->setLineWrapMode(QPlainTextEdit::NoWrap);
    logLabel->setBuddy(log_);
    layout->addWidget(logLabel);
    layout->addWidget(log_, 1);
    result_ = new QLabel(this);
    result_->setObjectName(QStringLiteral("result"));
    result_->setWordWrap(true);
    result_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    layout->addWidget(result_);

    auto* buttons = new QDialogButtonBox(this);
    start_ = buttons->addButton(QStringLiteral("&Make"), QDialogButtonBox::AcceptRole);
    start_->setObjectName(QStringLiteral("start"));
    stop_ = buttons->addButton(QStringLiteral("&Stop"), QDialogButtonBox::ActionRole);
    stop_->setObjectName(QStringLiteral("stop"));
    stop_->setEnabled(false);
    close_ = buttons->addButton(QStringLiteral("&Close"), QDialogButtonBox::RejectRole);
    for (QPushButton* b : {start_, stop_, close_}) b->setAccessibleName(b->text().remove(u'&'));
    connect(start_, &QPushButton::clicked, this, &MakeMediumDialog::startMaking);
    connect(stop_, &QPushButton::clicked, this, &MakeMediumDialog::stopMaking);
    connect(close_, &QPushButton::clicked, this, &QDialog::reject);
    layout->addWidget(buttons);

    process_.setProcessChannelMode(QProcess::MergedChannels);
    // Its own process group: stopping reaches the builds and copies it runs, not only the script.
    process_.setChildProcessModifier([] { ::setpgid(0, 0); });
    connect(&process_, &QProcess::readyRead, this, &MakeMediumDialog::readOutput);
    connect(&process_, &QProcess::finished, this, &MakeMediumDialog::processFinished);
    connect(&process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart) return;
        result_->setText(QStringLiteral("%1 could not be started: %2").arg(script_, process_.errorString()));
        start_->setEnabled(true);
        stop_->setEnabled(false);
        enableChoices(true);
    });
}

MakeMediumDialog::~MakeMediumDialog() {
    if (running()) {
        stopMaking();
        process_.waitForFinished(30000);
    }
}

void MakeMediumDialog::startMaking() {
    const QString out = QDir::fromNativeSeparators(output_->text().trimmed());
    const QString iso = QDir::fromNativeSeparators(imageFile_->text().trimmed());
    if (out.isEmpty() || (image_->isChecked() && iso.isEmpty())) {
        result_->setText(QStringLiteral("Name the folder for the medium%1.")
                             .arg(image_->isChecked() ? QStringLiteral(" and the image file") : QString()));
        return;
    }
    QStringList arguments{folder_, out};
    if (image_->isChecked()) arguments << QStringLiteral("--iso") << iso;
    if (noBundledQt_->isChecked()) arguments << QStringLiteral("--no-bundled-qt");
    log_->clear();
    pending_.clear();
    result_->clear();
    stopping_ = false;
    progress_->setRange(0, MediumProgress(image_->isChecked()).steps());
    progress_->setValue(0);
    start_->setEnabled(false);
    stop_->setEnabled(true);
    enableChoices(false);
    process_.start(script_, arguments);
}

void MakeMediumDialog::enableChoices(bool enabled) {
    for (QWidget* w : std::initializer_list<QWidget*>{output_, image_, bundledQt_, noBundledQt_})
        w->setEnabled(enabled);
    imageFile_->setEnabled(enabled && image_->isChecked());
    for (QPushButton* browse : findChildren<QPushButton*>()) {
        if (browse->objectName().startsWith(QStringLiteral("browse"))) browse->setEnabled(enabled);
    }
}

void MakeMediumDialog::stopMaking() {
    if (!running()) return;
    stopping_ = true;
    result_->setText(QStringLiteral("Stopping..."));
    // The script's own clean-up takes back what it wrote into the medium folder and the image.
    const qint64 pid = process_.processId();
    if (pid > 0) ::kill(-pid_t(pid), SIGTERM);
}

void MakeMediumDialog::readOutput() {
    pending_ += process_.readAll();
    const MediumProgress steps(image_->isChecked());
    for (qsizetype end; (end = pending_.indexOf('\n')) >= 0;) {
        const QString line = QString::fromLocal8Bit(pending_.left(end));
        pending_.remove(0, end + 1);
        log_->appendPlainText(line);
        if (const auto step = steps.stepOf(line); step && *step > progress_->value())
            progress_->setValue(*step);
    }
}

void MakeMediumDialog::processFinished(int exitCode, QProcess::ExitStatus status) {
    readOutput();
    if (!pending_.isEmpty()) log_->appendPlainText(QString::fromLocal8Bit(pending_));
    pending_.clear();
    start_->setEnabled(true);
    stop_->setEnabled(false);
    enableChoices(true);
    const bool made = !stopping_ && status == QProcess::NormalExit && exitCode == 0;
    if (made) {
        progress_->setValue(progress_->maximum());
        const QString out = QDir(QDir::fromNativeSeparators(output_->text().trimmed())).absolutePath();
        QString text = QStringLiteral("The medium is in %1. Try it: run %2.")
                           .arg(QDir::toNativeSeparators(out), QDir::toNativeSeparators(out + "/autorun.sh"));
        if (image_->isChecked()) {
            const QString iso = QDir::toNativeSeparators(imageFile_->text().trimmed());
            text += QStringLiteral(
                        " The image is %1 (checksum in %1.sha256): mount it with "
                        "\"sudo mount -o loop,ro %1 /mnt\" and run /mnt/autorun.sh.")
                        .arg(iso);
        }
        result_->setText(text);
    } else if (stopping_) {
        progress_->setValue(0);
        result_->setText(QStringLiteral("Stopped. The medium folder and the image are left as they were."));
    } else {
        result_->setText(QStringLiteral("make-medium failed (exit status %1); its output above says why.")
                             .arg(status == QProcess::NormalExit ? exitCode : -1));
    }
    stopping_ = false;
    Q_EMIT finished(made);
}

void MakeMediumDialog::reject() {
    // Closing stops a run first; the dialog closes when it has ended.
    if (running()) {
        stopMaking();
        connect(&process_, &QProcess::finished, this, &QDialog::reject, Qt::SingleShotConnection);
        return;
    }
    QDialog::reject();
}

}  // namespace editor
