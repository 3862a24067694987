// The window's controls: positions and sizes at 96 pixels per inch, scaled for other
// screens, and the resize rules of the three panels and the grid.
#include "forms/FrmKordane.h"

#include "attendance/RegionalSettings.h"
#include "widgets/DataGrid.h"
#include "widgets/Dialogs.h"
#include "widgets/ErrorDisplay.h"
#include "widgets/LineEdit.h"
#include "widgets/MaskedEdit.h"
#include "widgets/MessageDialog.h"
#include "widgets/SpeedButton.h"

#include <QApplication>
#include <QEvent>
#include <QFontDatabase>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace kordane {

namespace {

constexpr int designTextHeight = 15;
constexpr int panelHeight = 41;
constexpr int gridHeight = 133;

// "新細明體" where the face exists, else a Ming-style face that does.
QFont windowFont(double dpiRatio)
{
    QFont font;
    font.setFamilies({QStringLiteral("新細明體"), QStringLiteral("PMingLiU"), QStringLiteral("AR PL UMing TW"),
                      QStringLiteral("AR PL UMing TW MBE"), QStringLiteral("AR PL New Sung")});
    font.setPixelSize(qRound(designTextHeight * dpiRatio));
    font.setStyleHint(QFont::Serif);
    return font;
}

QFrame* makePanel(QWidget* parent, const char* name)
{
    auto* panel = new QFrame(parent);
    panel->setObjectName(QLatin1String(name));
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(1);
    panel->setAutoFillBackground(true);
    return panel;
}

} // namespace

void TFormKordane::createControls()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpiRatio = screen ? screen->logicalDotsPerInchY() / 96.0 : 1.0;
    const QFont font = windowFont(dpiRatio);
    setFont(font);
    // Positions grow with the text height the scaled font really gives.
    scale_ = double(font.pixelSize()) / designTextHeight;
    const auto s = [this](int v) { return qRound(v * scale_); };

    setWindowTitle(QStringLiteral("出勤資料"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    resize(s(552), s(395));

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setTabPosition(QTabWidget::North);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(PageControl1);

    TabSheet1 = new QWidget;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    PageControl1->addTab(TabSheet1, QStringLiteral("TabSheet1"));
    PageControl1->addTab(TabSheet2, QStringLiteral("TabSheet2"));
    PageControl1->tabBar()->setFocusPolicy(Qt::TabFocus);

    Panel1 = makePanel(TabSheet1, "Panel1");
    Panel2 = makePanel(TabSheet1, "Panel2");
    Panel3 = makePanel(TabSheet1, "Panel3");
    Panel1->setFixedHeight(s(panelHeight));
    Panel3->setFixedHeight(s(panelHeight));
    auto* pages = new QVBoxLayout(TabSheet1);
    pages->setContentsMargins(0, 0, 0, 0);
    pages->setSpacing(0);
    pages->addWidget(Panel1);
    pages->addWidget(Panel2, 1);
    pages->addWidget(Panel3);

    const auto place = [&](QWidget* w, const char* name, int left, int top, int width, int height) {
        w->setObjectName(QLatin1String(name));
        w->setGeometry(s(left), s(top), s(width), s(height));
    };
    const auto label = [&](const char* name, const QString& caption, int left, int top) {
        auto* l = new QLabel(caption, Panel2);
        l->setObjectName(QLatin1String(name));
        l->move(s(left), s(top));
        l->adjustSize();
        return l;
    };
    const RegionalSettings& regional = RegionalSettings::current();
    const auto maskEdit = [&](const char* name, const QString& mask, int left, int top) {
        auto* e = new MaskedEdit(Panel2);
        e->setEditMask(mask, regional.dateSeparator, regional.timeSeparator);
        place(e, name, left, top, 88, 23);
        return e;
    };
    const auto greyEdit = [&](const char* name, int left, int top, int width) {
        auto* e = new LineEdit(Panel2);
        e->setGrey(true);
        place(e, name, left, top, width, 23);
        return e;
    };
    const auto button = [&](const char* name, const QString& caption, int left, int top) {
        auto* b = new SpeedButton(caption, Panel2);
        place(b, name, left, top, 73, 41);
        return b;
    };

    Label1 = label("Label1", QStringLiteral("日期"), 40, 24);
    MaskEdit1 = maskEdit("MaskEdit1", QStringLiteral("!0000/99/99;1;_"), 88, 20);
    Edit7 = greyEdit("Edit7", 181, 20, 29);
    SpeedButton2 = button("SpeedButton2", QStringLiteral("檢視"), 431, 9);
    Label3 = label("Label3", QStringLiteral("人員"), 40, 56);
    Edit1 = new LineEdit(Panel2);
    place(Edit1, "Edit1", 88, 52, 88, 23);
    Edit5 = greyEdit("Edit5", 181, 52, 105);
    Edit6 = greyEdit("Edit6", 287, 52, 177);
    Label2 = label("Label2", QStringLiteral("上班"), 40, 88);
    MaskEdit2 = maskEdit("MaskEdit2", QStringLiteral("!99:99:99;1;_"), 88, 82);
    Label6 = label("Label6", QStringLiteral("下班"), 40, 120);
    MaskEdit3 = maskEdit("MaskEdit3", QStringLiteral("!99:99:99;1;_"), 88, 114);
    SpeedButton1 = button("SpeedButton1", QStringLiteral("修改存檔"), 224, 97);
    SpeedButton3 = button("SpeedButton3", QStringLiteral("新增存檔"), 309, 97);
    SpeedButton4 = button("SpeedButton4", QStringLiteral("刪除資料"), 392, 97);

    DBGrid1 = new DataGrid(Panel2);
    place(DBGrid1, "DBGrid1", 1, 149, 542, gridHeight);
    DBGrid1->setDataSource(&DataSource1);
    DBGrid1->setTitleFont(font);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    N1 = PopupMenu1->addAction(QStringLiteral("刪除資料"));
    N1->setObjectName(QStringLiteral("N1"));
    DBGrid1->setPopupMenu(PopupMenu1);
    DBGrid1->setDeleteQuestion([] { return gridDeleteQuestion(QStringLiteral("Delete record?")) == MessageDialog::ResultOk; });
    DBGrid1->setErrorHandler([](std::exception_ptr error) { showError(error); });

    // Tab reaches the fields in their tab order; the grey fields only by a click.
    setTabOrder(PageControl1->tabBar(), MaskEdit1);
    setTabOrder(MaskEdit1, Edit1);
    setTabOrder(Edit1, MaskEdit2);
    setTabOrder(MaskEdit2, MaskEdit3);
    setTabOrder(MaskEdit3, DBGrid1);

    Panel2->installEventFilter(this);
}

// The grid stays along Panel2's bottom edge at its height and takes the full inner width.
void TFormKordane::layoutPanel2()
{
    const int h = qRound(gridHeight * scale_);
    DBGrid1->setGeometry(1, Panel2->height() - 1 - h, Panel2->width() - 2, h);
}

bool TFormKordane::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Panel2 && event->type() == QEvent::Resize)
        layoutPanel2();
    return QWidget::eventFilter(watched, event);
}

void TFormKordane::centreOnDesktop()
{
    QRect desktop;
    for (const QScreen* screen : QGuiApplication::screens())
        desktop = desktop.united(screen->geometry());
    const QSize outer = frameGeometry().size();
    const int w = outer.width() > width() ? outer.width() : qRound(560 * scale_);
    const int h = outer.height() > height() ? outer.height() : qRound(429 * scale_);
    move(desktop.left() + (desktop.width() - w) / 2, desktop.top() + (desktop.height() - h) / 2);
}

// Depth-first: each container's controls in tab order, each followed by its contents.
QList<QWidget*> TFormKordane::tabOrderList() const
{
    return {PageControl1, TabSheet1, Panel1, Panel2, MaskEdit1, Edit1, MaskEdit2, MaskEdit3,
            DBGrid1, Edit5, Edit6, Edit7, Panel3, TabSheet2};
}

void TFormKordane::selectNextControl(bool forward)
{
    const QList<QWidget*> list = tabOrderList();
    QWidget* focus = QApplication::focusWidget();
    if (focus == PageControl1->tabBar())
        focus = PageControl1;
    const auto qualifies = [this](QWidget* w) {
        const bool tabStop = w == PageControl1 || w == MaskEdit1 || w == Edit1 || w == MaskEdit2
            || w == MaskEdit3 || w == DBGrid1;
        return tabStop && w->isVisibleTo(this) && w->isVisible() && w->isEnabled();
    };
    const qsizetype n = list.size();
    const qsizetype start = list.indexOf(focus);
    QWidget* target = nullptr;
    for (qsizetype step = 1; step < n && !target; ++step) {
        const qsizetype from = start < 0 ? (forward ? -1 : 0) : start;
        QWidget* candidate = list[((from + (forward ? step : -step)) % n + n) % n];
        if (candidate != focus && qualifies(candidate))
            target = candidate;
    }
    if (!target && focus && list.contains(focus) && qualifies(focus))
        target = focus;
    if (!target)
        return;
    if (target == PageControl1)
        PageControl1->tabBar()->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    else
        target->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
}

} // namespace kordane
