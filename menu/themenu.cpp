#include "menu/themenu.h"

#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleFactory>

#include "menu/colours.h"
#include "menu/layout.h"
#include "menu/pictures.h"
#include "menu/widgets.h"

// The pictures are compiled into this static library; make sure they are registered.
static void initResources() { Q_INIT_RESOURCE(menu); }

namespace menu {

void ShowDocument(platform::Platform& platform, const QString& commandLine) {
    constexpr int hidden = 0;
    platform.winExec(commandLine, hidden);
}

namespace {

QString fromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

template <typename T>
T* control(QWidget* window, const char* name) {
    T* widget = window->findChild<T*>(QString::fromLatin1(name));
    Q_ASSERT(widget);
    return widget;
}

}  // namespace

TheMenu::TheMenu(platform::Platform& platform, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      platform_(platform),
      // The classic look the layout was drawn for, with two-pixel sunken borders.
      style_(QStyleFactory::create(QStringLiteral("Windows"))),
      module1_(std::make_unique<catalogue::Module1>()) {
    initResources();
    setObjectName(QStringLiteral("TheMenu"));
    setStyle(style_.get());
    setWindowTitle(QStringLiteral("Here will be you CD's title (subtitle in brackets)"));
    setWindowIcon(QIcon(QPixmap::fromImage(readIcon(QStringLiteral(":/discmenu/discmenu.ico")))));
    setFixedSize(twipsToPixels(ClientWidth), twipsToPixels(ClientHeight));
    setAutoFillBackground(true);

    buildLayout(this, style_.get());
    Frame1 = control<Panel>(this, "Frame1");
    Frame2 = control<Panel>(this, "Frame2");
    Frame3 = control<Panel>(this, "Frame3");
    Frame4 = control<Panel>(this, "Frame4");
    Frame5 = control<Panel>(this, "Frame5");
    Label1 = control<QLabel>(this, "Label1");
    Label2 = control<QLabel>(this, "Label2");
    Label3 = control<QLabel>(this, "Label3");
    Label4 = control<QLabel>(this, "Label4");
    Label5 = control<QLabel>(this, "Label5");
    Label6 = control<QLabel>(this, "Label6");
    Label7 = control<QLabel>(this, "Label7");
    Command1 = control<QPushButton>(this, "Command1");
    Command2 = control<QPushButton>(this, "Command2");
    Command3 = control<QPushButton>(this, "Command3");
    Command4 = control<QPushButton>(this, "Command4");
    Command5 = control<QPushButton>(this, "Command5");
    List1 = control<QListWidget>(this, "List1");
    Text1 = control<QLineEdit>(this, "Text1");
    Text2 = control<QPlainTextEdit>(this, "Text2");
    Picture1 = control<PictureBox>(this, "Picture1");

    Picture1->setPixmap(QPixmap::fromImage(readBitmap(QStringLiteral(":/discmenu/picture.bmp"))));
    Command2->setEnabled(false);
    Command3->setEnabled(false);

    // Names a screen reader speaks: the headings for the boxes they head.
    List1->setAccessibleName(Label1->text());
    Text1->setAccessibleName(Label2->text());
    Text2->setAccessibleName(Label3->text());
    Picture1->setAccessibleName(windowTitle());

    // The highlight changes by mouse, by keyboard and when the program sets the selected index.
    connect(List1, &QListWidget::currentRowChanged, this, [this](int) { List1_Click(); });
    // A double click highlights the item under the pointer first, as its first click would: when
    // the highlight moved by keyboard between the two clicks, the view would not move it back.
    connect(List1, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        if (item) List1->setCurrentItem(item);
        Q_EMIT List1_DblClick();
    });

    Picture1->setFocus();
}

TheMenu::~TheMenu() = default;

std::optional<catalogue::Error> TheMenu::Form_Load() {
    // Started from a desktop, the current directory is often not the medium: when the catalogue
    // is not here but beside the program, read it there.
    const QString name = QString::fromLatin1(catalogue::CatalogueFileName);
    QString programFolder;
    if (!QFileInfo::exists(QDir(platform_.currentDirectory()).filePath(name))) {
        programFolder = platform_.applicationPath();
        if (QFileInfo::exists(QDir(programFolder).filePath(name))) platform_.changeDirectory(programFolder);
    }
    const QString file = QDir(platform_.currentDirectory()).filePath(name);
    catalogue::Result result = catalogue::loadCatalogue(file.toStdString());
    if (auto* error = std::get_if<catalogue::Error>(&result)) {
        // Say where else it was looked for.
        if (error->kind == catalogue::Error::Kind::FileNotFound && !programFolder.isEmpty() &&
            QDir(programFolder) != QDir(platform_.currentDirectory())) {
            error->what += ", nor beside the program in " + QDir::cleanPath(programFolder).toStdString();
        }
        return *error;
    }
    present(std::move(std::get<catalogue::Module1>(result)));
    return std::nullopt;
}

void TheMenu::present(catalogue::Module1 tables) {
    *module1_ = std::move(tables);
    const catalogue::Module1& m = *module1_;

    // Qt reads "[*]" in a title as a placeholder; doubling it shows it as written.
    QString caption = fromUtf8(m.Title) + QStringLiteral(" (") + fromUtf8(m.Subtitle) + u')';
    setWindowTitle(caption.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]")));
    Picture1->setAccessibleName(fromUtf8(m.Title) + QStringLiteral(" (") + fromUtf8(m.Subtitle) + u')');
    Label5->setText(QStringLiteral("Published by ") + fromUtf8(m.Publisher));
    Label4->setText(QStringLiteral("Date: ") + fromUtf8(m.Date));
    widenToFit(Label5);
    widenToFit(Label4);

    List1->clear();
    for (int n = 1; n <= m.ProgramCount; ++n) List1->addItem(fromUtf8(m.ProgramName[n]));

    // Selecting the first item runs List1_Click at once.
    List1->setCurrentRow(0);

    Text1->setText(QString::number(m.ProgramSize[1]));
    Text2->setPlainText(fromUtf8(m.ProgramDescription[1]));
    if (Text1->text().trimmed() == u"0") {
        Text1->hide();
        Label2->hide();
    }

    const QString count = QString::number(m.ProgramCount);
    Label6->setText(count + QStringLiteral(" Great Programs ready for installation!"));
    if (Label6->text().left(2) == u"1 ")
        Label6->setText(count + QStringLiteral(" Great Program ready for installation!"));

    applyColour(this, QPalette::Window, m.ColourTable[0]);
    for (QLabel* label : {Label1, Label2, Label3, Label4, Label5, Label6}) {
        applyColour(label, QPalette::Window, m.ColourTable[1]);
    }
    for (QLabel* label : {Label1, Label2, Label3, Label4, Label5, Label6}) {
        applyColour(label, QPalette::WindowText, m.ColourTable[2]);
    }
    applyColour(List1, QPalette::Base, m.ColourTable[3]);
    applyColour(List1, QPalette::Text, m.ColourTable[4]);
    applyColour(Text1, QPalette::Base, m.ColourTable[5]);
    applyColour(Text1, QPalette::Text, m.ColourTable[6]);
    applyColour(Text2, QPalette::Base, m.ColourTable[7]);
    applyColour(Text2, QPalette::Text, m.ColourTable[8]);

    if (m.flagOn(1)) Command2->setEnabled(true);
    if (m.flagOn(3)) Command3->setEnabled(true);

    if (m.flagOn(2)) ShowDocument(platform_, QString::fromLatin1(ReadmeCommand));
    if (m.flagOn(4)) ShowDocument(platform_, QString::fromLatin1(LicenseCommand));
}

void TheMenu::FindSelectedEntry() {
    const int k = List1->currentRow();
    if (k < 0) return;
    const QByteArray text = List1->item(k)->text().toUtf8();
    const std::string_view name(text.constData(), std::size_t(text.size()));
    const catalogue::Module1& m = *module1_;
    // Every stored slot is searched, up to the last (201), so that every listed entry can be
    // selected; the first slot with the name wins.
    for (int slot = 1; slot <= catalogue::MaxEntries; ++slot) {
        if (name == m.ProgramName[slot]) {
            SelectedSize = m.ProgramSize[slot];
            SelectedCommand = fromUtf8(m.ProgramCommand[slot]);
            SelectedFolder = fromUtf8(m.ProgramFolder[slot]);
            SelectedDescription = fromUtf8(m.ProgramDescription[slot]);
            return;
        }
    }
}

void TheMenu::List1_Click() {
    FindSelectedEntry();
    Text1->setText(QString::number(SelectedSize));
    const bool zero = Text1->text().trimmed() == u"0";
    Text1->setVisible(!zero);
    Label2->setVisible(!zero);
    Text2->setPlainText(SelectedDescription);
}

}  // namespace menu
