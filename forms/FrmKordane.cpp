// Creation of the window with its components, the wiring of every handler through the
// one error guard, and the start-up handler.
#include "forms/FrmKordane.h"

#include "attendance/DayRecords.h"
#include "attendance/RegionalSettings.h"
#include "widgets/DataGrid.h"
#include "widgets/ErrorDisplay.h"
#include "widgets/LineEdit.h"
#include "widgets/MaskedEdit.h"
#include "widgets/SpeedButton.h"

#include <QAction>
#include <QDate>
#include <QTabBar>
#include <QTabWidget>

#include <functional>

namespace kordane {

TFormKordane::TFormKordane(QWidget* parent)
    : QWidget(parent)
    , SQLConnection1(QStringLiteral("SQLConnection1"))
    , SQLQuery1(QStringLiteral("SQLQuery1"), SQLConnection1)
    , SQLDataSet1(QStringLiteral("SQLDataSet1"), SQLConnection1)
    , DataSetProvider1(QStringLiteral("DataSetProvider1"), SQLDataSet1)
    , ClientDataSet1(QStringLiteral("ClientDataSet1"))
    , DataSource1(QStringLiteral("DataSource1"), ClientDataSet1)
{
    setObjectName(QStringLiteral("FormKordane"));
    createComponents();
    createControls();
    wireHandlers();
    addCommandKeys();
    nameControls();
    guarded([this] { FormCreate(this); });
}

// The controls go first: the grid must not outlive the result set it shows.
TFormKordane::~TFormKordane()
{
    delete PageControl1;
    PageControl1 = nullptr;
}

void TFormKordane::createComponents()
{
    ClientDataSet1.setProvider(&DataSetProvider1);
}

void TFormKordane::wireHandlers()
{
    // Every handler runs through the one error guard. Signals' own arguments, where a
    // handler needs them, are passed on by the handler's own lambda below.
    const auto on = [this](auto* sender, auto signal, std::function<void()> handler) {
        connect(sender, signal, this, [handler = std::move(handler)] { guarded(handler); });
    };
    on(Edit1, &LineEdit::exited, [this] { Edit1Exit(Edit1); });
    on(MaskEdit1, &MaskedEdit::exited, [this] { MaskEdit1Exit(MaskEdit1); });
    for (LineEdit* field : {static_cast<LineEdit*>(MaskEdit1), Edit1, static_cast<LineEdit*>(MaskEdit2),
                            static_cast<LineEdit*>(MaskEdit3), Edit5, Edit6, Edit7}) {
        connect(field, &LineEdit::keyDown, this, [this, field](int key, Qt::KeyboardModifiers shift) {
            guarded([&] { MaskEdit1KeyDown(field, key, shift); });
        });
    }
    for (MaskedEdit* field : {MaskEdit1, MaskEdit2, MaskEdit3})
        on(field, &MaskedEdit::maskError, [] { throw EDBEditError(); });
    on(SpeedButton1, &SpeedButton::clicked, [this] { SpeedButton1Click(SpeedButton1); });
    on(SpeedButton2, &SpeedButton::clicked, [this] { SpeedButton2Click(SpeedButton2); });
    on(SpeedButton3, &SpeedButton::clicked, [this] { SpeedButton3Click(SpeedButton3); });
    on(SpeedButton4, &SpeedButton::clicked, [this] { SpeedButton4Click(SpeedButton4); });
    on(N1, &QAction::triggered, [this] { N1Click(N1); });
    connect(DBGrid1, &DataGrid::cellClick, this, [this](int column) { guarded([&] { DBGrid1CellClick(column); }); });
    ClientDataSet1.setAfterOpen([this](ClientDataSet& dataSet) { ClientDataSet1AfterOpen(&dataSet); });
}

void TFormKordane::FormCreate(QObject*)
{
    attendance::fillInMissingNames(SQLQuery1, QDate::currentDate());
    PageControl1->setCurrentIndex(0);
    MaskEdit1->assignText(formatDate(QDate::currentDate(), RegionalSettings::current()));
}

} // namespace kordane
