#pragma once
// Making the medium from the editor: runs scripts/make-medium on the medium's folder with the
// choices it offers (where to assemble the medium, whether it carries the bundled Qt, and an ISO
// image), shows its progress from the steps it announces, can stop it (the script takes back what
// it wrote), and says where the result is and how to try it.
#include <QDialog>
#include <QProcess>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace editor {

// Follows make-medium's output: which of its steps it has reached.
class MediumProgress {
public:
    explicit MediumProgress(bool image) : image_(image) {}

    // The steps of a run: checking, the two builds, copying, (the image,) done.
    int steps() const { return image_ ? 5 : 4; }
    // The step a line of output announces (1 to steps()); nothing for other lines.
    std::optional<int> stepOf(const QString& line) const;

private:
    bool image_;
};

class MakeMediumDialog final : public QDialog {
    Q_OBJECT
public:
    // `folder` is the publisher's folder (SRC), `script` the make-medium script.
    MakeMediumDialog(const QString& folder, const QString& script, QWidget* parent);
    ~MakeMediumDialog() override;

    // The controls, for tests.
    QLineEdit* outputEdit() const { return output_; }
    QCheckBox* imageBox() const { return image_; }
    QLineEdit* imageEdit() const { return imageFile_; }
    QRadioButton* bundledQtButton() const { return bundledQt_; }
    QRadioButton* noBundledQtButton() const { return noBundledQt_; }
    QPushButton* startButton() const { return start_; }
    QPushButton* stopButton() const { return stop_; }
    QProgressBar* progressBar() const { return progress_; }
    QLabel* resultLabel() const { return result_; }
    bool running() const { return process_.state() != QProcess::NotRunning; }

Q_SIGNALS:
    void finished(bool made);

protected:
    void reject() override;

private:
    void startMaking();
    void stopMaking();
    void readOutput();
    void processFinished(int exitCode, QProcess::ExitStatus status);
    // The choices can be changed while no run is going on.
    void enableChoices(bool enabled);

    QString folder_, script_;
    QProcess process_;
    QByteArray pending_;
    bool stopping_ = false;
    QLineEdit *output_, *imageFile_;
    QCheckBox* image_;
    QRadioButton *bundledQt_, *noBundledQt_;
    QPushButton *start_, *stop_, *close_;
    QProgressBar* progress_;
    QPlainTextEdit* log_;
    QLabel* result_;
};

}  // namespace editor
