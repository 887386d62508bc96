#include "app/mcorvelin.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QGuiApplication>
#include <QScreen>
#include <QSplitter>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTreeView>
#include <QVBoxLayout>

#include "app/folder_path_edit.h"
#include "app/param_ini.h"
#include "app/paths.h"
#include "fonts/fonts_dialog.h"
#include "preview/dwgthumb.h"
#include "support/ini_file.h"
#include "ui/text.h"

namespace app {
namespace {

QFont designFont(const QString& family, int pixelSize, bool bold = false) {
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

// The banner's logo: a drawing sheet with a Hebrew letter on it, 97 x 45.
QPixmap logoPicture() {
    QPixmap logo(97, 45);
    logo.fill(QColor(240, 251, 255));
    QPainter p(&logo);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0, 70, 140), 2));
    p.setBrush(Qt::white);
    p.drawRect(3, 3, 38, 38);
    p.setPen(QPen(QColor(0, 70, 140), 1));
    for (int x = 9; x < 40; x += 8)
        p.drawLine(x, 4, x, 40);
    p.setFont(designFont(QStringLiteral("Arial"), 26, true));
    p.setPen(QColor(190, 30, 45));
    p.drawText(QRect(3, 3, 38, 38), Qt::AlignCenter, QString(QChar(0x05D0)));
    p.setFont(designFont(QStringLiteral("Arial"), 13, true));
    p.setPen(QColor(0, 70, 140));
    p.drawText(QRect(44, 6, 53, 34), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("DWG\n\x2192 GIS"));
    return logo;
}

// The picture's rows are blue, green, red: Qt's BGR888, copied out of it.
QImage toImage(const preview::Picture& picture) {
    return QImage(picture.pixels.data(), picture.width, picture.height, static_cast<qsizetype>(picture.stride()),
                  QImage::Format_BGR888)
        .copy();
}

template <typename T>
T* placed(T* widget, int left, int top, int width = -1, int height = -1) {
    if (width < 0 || height < 0) {
        widget->adjustSize();
        widget->move(left, top);
    } else {
        widget->setGeometry(left, top, width, height);
    }
    return widget;
}

// The tree's model: each entry's tooltip is its whole path, so that names
// too long for the pane can still be read.
class DrawingTreeModel final : public QFileSystemModel {
public:
    using QFileSystemModel::QFileSystemModel;
    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::ToolTipRole && index.column() == 0)
            return QDir::toNativeSeparators(filePath(index));
        return QFileSystemModel::data(index, role);
    }
};

}  // namespace

TForm1::TForm1(QString paramIni, QWidget* parent) : QWidget(parent), m_paramIni(std::move(paramIni)) {
    if (m_paramIni.isEmpty()) {
        const auto config = ui::toPath(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
        m_paramIni = ui::fromPath(paramIniLocation(ui::toPath(QCoreApplication::applicationDirPath()), config));
    }
    buildControls();
    // FormCreate: PreviewRect and FileList are set by their declarations.
    m_currentDrawing.clear();
    m_frmFonts = std::make_unique<fonts::TfrmFonts>(m_fontTable, this);
    m_frmRemap = std::make_unique<remap::TfrmRemap>(m_fontTable, *m_frmFonts, *this, this);
}

TForm1::~TForm1() {
    // FormDestroy: a window destroyed without closing still keeps its settings.
    if (!m_saved && m_restored) {
        try {
            SaveSettings();
        } catch (const std::exception&) {
            // Nothing can be shown any more while the window goes.
        }
    }
}

void TForm1::buildControls() {
    setWindowTitle(QStringLiteral("Corvelin "));
    setObjectName(QStringLiteral("Form1"));
    setFont(designFont(QStringLiteral("MS Sans Serif"), 11));
    // The designed window: client area 680 x 598 at (293, 115); it may not
    // become smaller than its frame of 688 x 569 allows.
    setGeometry(293, 115, 680, 598);
    setMinimumSize(680, 530);
    setAutoFillBackground(true);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    Panel1 = new QWidget(this);
    Panel1->setFixedHeight(89);
    Panel1->setAutoFillBackground(true);
    QPalette banner = Panel1->palette();
    banner.setColor(QPalette::Window, QColor(240, 251, 255));
    Panel1->setPalette(banner);
    Image2 = placed(new QLabel(Panel1), 8, 16, 105, 57);
    Image2->setPixmap(logoPicture());
    Image2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label5 = new QLabel(QStringLiteral("AutoCAD to ArcView / ArcGIS Converter"), Panel1);
    Label5->setFont(designFont(QStringLiteral("Arial"), 15, true));
    placed(Label5, 140, 31);
    outer->addWidget(Panel1);

    Splitter2 = new QSplitter(Qt::Horizontal, this);
    Splitter2->setHandleWidth(9);
    Splitter2->setChildrenCollapsible(false);
    outer->addWidget(Splitter2, 1);

    // Left pane: the tree above the preview.
    Panel2 = new QWidget(Splitter2);
    auto* left = new QVBoxLayout(Panel2);
    left->setContentsMargins(0, 0, 0, 0);
    Splitter3 = new QSplitter(Qt::Vertical, Panel2);
    Splitter3->setHandleWidth(7);
    Splitter3->setChildrenCollapsible(false);
    left->addWidget(Splitter3);

    treeModel = new DrawingTreeModel(this);
    treeModel->setReadOnly(true);
    treeModel->setFilter(QDir::AllDirs | QDir::Files | QDir::Drives | QDir::NoDotAndDotDot);
    treeModel->setNameFilters({QStringLiteral("*.dwg")});  // compared ignoring case
    treeModel->setNameFilterDisables(false);
    treeModel->setRootPath(QDir::rootPath());
    // A selected drawing that vanishes for a moment (an in-place conversion
    // moves it to its backup and writes it anew) must not hand the selection,
    // and with it "Convert Current File", to a neighbouring drawing: the
    // change is ignored and the drawing selected again when it is back.
    // Connected before the view's selection model, so that it runs first.
    connect(treeModel, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex& parent, int first, int last) {
                const QModelIndex current = tree->currentIndex();
                if (current.isValid() && current.parent() == parent && current.row() >= first &&
                    current.row() <= last) {
                    m_vanishedSelection = selectedPath();
                    m_selectionVanishing = true;
                }
            });
    connect(treeModel, &QAbstractItemModel::rowsRemoved, this, [this] { m_selectionVanishing = false; });
    connect(treeModel, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex& parent, int first, int last) {
                for (int row = first; row <= last && !m_vanishedSelection.isEmpty(); ++row) {
                    const QModelIndex index = treeModel->index(row, 0, parent);
                    if (QDir::toNativeSeparators(treeModel->filePath(index)) == m_vanishedSelection)
                        tree->setCurrentIndex(index);
                }
            });
    tree = new QTreeView(Splitter3);
    tree->setObjectName(QStringLiteral("tree"));
    tree->setModel(treeModel);
    for (int column = 1; column < treeModel->columnCount(); ++column)
        tree->hideColumn(column);
    tree->setHeaderHidden(true);
    // Whole names: the column grows with its longest name (the tree scrolls
    // sideways), and what is still cut is cut in the middle.
    tree->header()->setStretchLastSection(false);
    tree->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    tree->setTextElideMode(Qt::ElideMiddle);
    // A folder's rows arrive after the folder is loaded; the current drawing
    // is then scrolled into view once more.
    connect(treeModel, &QFileSystemModel::directoryLoaded, this, [this](const QString& folder) {
        const QModelIndex current = tree->currentIndex();
        if (m_followCurrent && current.isValid() && treeModel->filePath(current.parent()) == folder) {
            m_followCurrent = false;
            tree->scrollTo(current);
        }
    });
    tree->setIndentation(19);
    tree->setDragEnabled(false);
    tree->setAcceptDrops(false);
    tree->setContextMenuPolicy(Qt::NoContextMenu);
    tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree->setFont(designFont(QStringLiteral("Segoe UI"), 12));
    connect(tree->selectionModel(), &QItemSelectionModel::currentChanged, this, &TForm1::treeChange);
    // The home folder is where drawings usually are: open the tree there.
    const QModelIndex home = treeModel->index(QDir::homePath());
    tree->expand(home);
    for (QModelIndex up = home.parent(); up.isValid(); up = up.parent())
        tree->expand(up);
    tree->scrollTo(home, QAbstractItemView::PositionAtTop);

    Panel3 = new QWidget(Splitter3);
    Panel3->setMinimumHeight(40);
    Image3 = placed(new QLabel(Panel3), 6, 1, 197, 151);
    Image3->setScaledContents(true);  // stretched, not keeping the aspect ratio
    Splitter3->setSizes({400, 153});
    Splitter3->setStretchFactor(0, 1);
    Splitter3->setStretchFactor(1, 0);

    // Right pane: output, options, commands and progress.
    Panel4 = new QWidget(Splitter2);
    auto* right = new QVBoxLayout(Panel4);
    right->setContentsMargins(0, 0, 0, 0);
    right->setSpacing(0);
    auto* body = new QWidget(Panel4);
    right->addWidget(body, 1);
    StatusBar1 = new QStatusBar(Panel4);
    StatusBar1->setFixedHeight(28);
    StatusBar1->setSizeGripEnabled(false);
    right->addWidget(StatusBar1);

    GroupBox1 = placed(new QGroupBox(QStringLiteral("Output Folder"), body), 8, 16, 433, 89);
    CheckBox1 = placed(new QCheckBox(QStringLiteral("Use the same as Input"), GroupBox1), 24, 24);
    JamPathEdit2 = placed(new FolderPathEdit(GroupBox1), 21, 48, 380, 25);
    JamPathEdit2->edit()->setFont(designFont(QStringLiteral("Segoe UI"), 12));
    connect(CheckBox1, &QCheckBox::toggled, this, &TForm1::CheckBox1Click);

    Label1 = placed(new QLabel(body), 23, 111, 410, 16);
    Label1->hide();

    rdHeb = placed(new QGroupBox(QStringLiteral("ESRI Hebrew Setting"), body), 24, 130, 385, 39);
    m_rdHebItems = new QButtonGroup(rdHeb);
    auto* rdHebGrid = new QGridLayout(rdHeb);
    rdHebGrid->setContentsMargins(8, 2, 8, 2);
    const QString items[] = {QStringLiteral("Left To Right"), QStringLiteral("RightTo Left")};
    for (int i = 0; i < 2; ++i) {
        auto* item = new QRadioButton(items[i], rdHeb);
        m_rdHebItems->addButton(item, i);
        rdHebGrid->addWidget(item, 0, i);
    }
    setRdHebItemIndex(1);

    // The check boxes sit just below the radio group's frame, which Qt draws
    // to its full height.
    cbxAuto = placed(new QCheckBox(QStringLiteral("Automatic Correction"), body), 23, 171);
    cbxAuto->setChecked(true);
    cbxBack = placed(new QCheckBox(QStringLiteral("Keep Windows mapping"), body), 176, 171);

    Button3 = placed(new QPushButton(QStringLiteral("Check Hebrew Font Mapping"), body), 96, 192, 233, 33);
    Button4 = placed(new QPushButton(QStringLiteral("Convert Current File"), body), 96, 231, 233, 33);
    Button1 = placed(new QPushButton(QStringLiteral("Convert all files in Current Folder"), body), 96, 270, 233, 35);
    Button2 = placed(new QPushButton(QStringLiteral("Check Folder"), body), 96, 311, 233, 35);
    connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TForm1::Button4Click);

    ProgressBar1 = placed(new QProgressBar(body), 21, 358, 393, 20);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    Label3 = new QLabel(QStringLiteral("Finished"), body);
    Label3->setFont(designFont(QStringLiteral("MS Sans Serif"), 13, true));
    placed(Label3, 166, 384);
    Label3->hide();
    Label2 = placed(new QLabel(body), 21, 418, 390, 16);
    Label2->hide();
    Progress1 = placed(new QProgressBar(body), 6, 434, 409, 16);
    Progress1->setRange(0, 100);
    Progress1->setValue(0);
    Progress1->setTextVisible(false);

    Splitter2->addWidget(Panel2);
    Splitter2->addWidget(Panel4);
    Splitter2->setSizes({201, 470});
    Splitter2->setStretchFactor(0, 0);
    Splitter2->setStretchFactor(1, 1);
    CheckBox1Click();
}

int TForm1::rdHebItemIndex() const { return m_rdHebItems->checkedId(); }

void TForm1::setRdHebItemIndex(int index) {
    if (QAbstractButton* item = m_rdHebItems->button(index)) {
        item->setChecked(true);
    } else if (QAbstractButton* checked = m_rdHebItems->checkedButton()) {
        m_rdHebItems->setExclusive(false);
        checked->setChecked(false);
        m_rdHebItems->setExclusive(true);
    }
}

bool TForm1::LeftToRight() const { return rdHebItemIndex() == 0; }
bool TForm1::AutoCorrect() const { return cbxAuto->isChecked(); }
bool TForm1::KeepWindowsMapping() const { return cbxBack->isChecked(); }

QString TForm1::selectedPath() const {
    const QModelIndex current = tree->currentIndex();
    return current.isValid() ? QDir::toNativeSeparators(treeModel->filePath(current)) : QString();
}

bool TForm1::selectPath(const QString& path) {
    const QModelIndex index = treeModel->index(QDir::fromNativeSeparators(path));
    if (!index.isValid())
        return false;
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent())
        tree->expand(up);
    tree->setCurrentIndex(index);
    tree->scrollTo(index);
    return true;
}

void TForm1::treeChange() {
    if (m_selectionVanishing)
        return;
    m_vanishedSelection.clear();
    const QString text = selectedPath();
    StatusBar1->showMessage(text);
    if (!text.isEmpty() && isDrawingName(text)) {
        preview::Picture previewBitmap = preview::Picture::blank(PreviewRect.width(), PreviewRect.height());
        std::fill(previewBitmap.pixels.begin(), previewBitmap.pixels.end(), std::uint8_t{255});
        preview::DrawDwgThumbnail(ui::toPath(folderPart(text) + fileNamePart(text)), previewBitmap);
        Image3->setPixmap(QPixmap::fromImage(toImage(previewBitmap)));
        Label1->setText(text);
        Label1->show();
        m_currentDrawing = text;
    } else {
        Image3->clear();
        Label1->clear();
        Label1->hide();
        m_currentDrawing.clear();
    }
}

void TForm1::CheckBox1Click() { JamPathEdit2->setEnabled(!CheckBox1->isChecked()); }

void TForm1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_restored)
        return;
    m_restored = true;
    try {
        RestoreSettings();
    } catch (const std::exception& e) {
        ui::showMessage(this, {ui::MessageKind::Error, ui::fromUtf8(e.what()), {}});
    }
    scrollToCurrent();
}

void TForm1::scrollToCurrent() {
    const QModelIndex current = tree->currentIndex();
    if (!current.isValid())
        return;
    m_followCurrent = true;
    tree->scrollTo(current);
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (m_running) {
        // A run stops after its current drawing; the window closes then.
        event->ignore();
        if (!m_closeRequested &&
            ui::askYesNo(this, QStringLiteral("A command is running. Stop it after the current drawing and close?"))) {
            m_closeRequested = true;
            m_stopRequested = true;
        }
        return;
    }
    try {
        SaveSettings();
    } catch (const std::exception& e) {
        ui::showMessage(this, {ui::MessageKind::Error, ui::fromUtf8(e.what()), {}});
    }
    m_saved = true;
    event->accept();
}

void TForm1::RestoreSettings() {
    const support::IniFile file = support::IniFile::load(ui::toPath(m_paramIni));
    const FormSettings s = readFormSettings(file);
    if (s.FormVersion.value_or(0) < 0)
        return;

    if (s.NormPos) {
        const auto [l, t, r, b] = *s.NormPos;
        const QRect stored(l, t, std::max(r - l, minimumWidth()), std::max(b - t, minimumHeight()));
        // A place on a screen that is no longer attached keeps the designed one.
        bool onScreen = false;
        for (const QScreen* screen : QGuiApplication::screens())
            onScreen = onScreen || screen->availableGeometry().intersects(stored);
        if (r > l && b > t && onScreen)
            setGeometry(stored);
    }
    if (s.ShowCmd == 3)
        setWindowState(windowState() | Qt::WindowMaximized);
    m_placement = {s.Flags.value_or(0), s.MinMaxPos.value_or(std::array<int, 4>{-1, -1, -1, -1})};
    if (s.OpenDialog1_InitialDir)
        OpenDialog1.InitialDir = ui::fromUtf8(*s.OpenDialog1_InitialDir);
    if (s.tree_SelectedFolder && !s.tree_SelectedFolder->empty())
        selectPath(ui::fromUtf8(*s.tree_SelectedFolder));
    if (s.CheckBox1_Checked)
        CheckBox1->setChecked(*s.CheckBox1_Checked);
    if (s.JamPathEdit2_Path)
        JamPathEdit2->setPath(ui::fromUtf8(*s.JamPathEdit2_Path));
    if (s.cbxAuto_Checked)
        cbxAuto->setChecked(*s.cbxAuto_Checked);
    if (s.rdHeb_ItemIndex)
        setRdHebItemIndex(*s.rdHeb_ItemIndex);
    if (s.cbxBack_Checked)
        cbxBack->setChecked(*s.cbxBack_Checked);
}

void TForm1::SaveSettings() {
    const std::filesystem::path path = ui::toPath(m_paramIni);
    std::error_code error;
    std::filesystem::create_directories(path.parent_path(), error);
    support::IniFile file = support::IniFile::load(path);

    FormSettings s;
    s.FormVersion = 0;
    s.ShowCmd = (windowState() & Qt::WindowMinimized) ? 2 : (windowState() & Qt::WindowMaximized) ? 3 : 1;
    s.Flags = m_placement.flags;
    s.PixelsPerInch = logicalDpiY();
    s.MinMaxPos = m_placement.minMaxPos;
    const QRect normal = normalGeometry().isValid() ? normalGeometry() : geometry();
    s.NormPos = std::array<int, 4>{normal.left(), normal.top(), normal.left() + normal.width(),
                                   normal.top() + normal.height()};
    s.OpenDialog1_InitialDir = ui::toUtf8(OpenDialog1.InitialDir);
    s.tree_SelectedFolder = ui::toUtf8(selectedPath());
    s.CheckBox1_Checked = CheckBox1->isChecked();
    s.JamPathEdit2_Path = ui::toUtf8(JamPathEdit2->path());
    s.cbxAuto_Checked = cbxAuto->isChecked();
    s.rdHeb_ItemIndex = rdHebItemIndex();
    s.cbxBack_Checked = cbxBack->isChecked();
    writeFormSettings(file, s);
    file.saveAs(path);
}

}  // namespace app
