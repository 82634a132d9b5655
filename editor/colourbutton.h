#pragma once
// A button that shows a catalogue colour value and offers to change it: any RGB colour (the
// desktop's colour dialog) or one of the system colours a catalogue can name, which follow the
// desktop's colour scheme.
#include <QToolButton>
#include <cstdint>

namespace editor {

// The system colour with `index` 0 to 24, as publishers read it in the catalogue's documentation.
QString systemColourName(int index);

// How a colour value reads: "#c0c0c0", "system colour 5, window background", or that it is none.
QString describeColourValue(std::int32_t value);

// The catalogue value of a plain colour (hexadecimal 00BBGGRR).
std::int32_t plainColourValue(const QColor& colour);

class ColourButton final : public QToolButton {
    Q_OBJECT
public:
    // `what` names the colour for the dialog's title and for screen readers ("Window background").
    ColourButton(const QString& what, QWidget* parent);

    std::int32_t value() const { return value_; }
    // Shows `value`; raises no signal.
    void setValue(std::int32_t value);

Q_SIGNALS:
    // The user chose a colour.
    void valueChosen(std::int32_t value);

protected:
    void changeEvent(QEvent* event) override;

private:
    void chooseAnyColour();
    void refresh();

    QString what_;
    std::int32_t value_ = 0;
};

}  // namespace editor
