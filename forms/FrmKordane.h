#pragma once
// The one window of the program: attendance entry for a date and an employee, the day
// grid, and the add / modify / delete commands. Every value lives in a control, in the
// day result set or in the database; the class keeps no state of its own.
#include "attendance/AttendanceRecord.h"
#include "data/resultset/ClientDataSet.h"
#include "data/resultset/Components.h"
#include "data/resultset/DataSetProvider.h"
#include "data/resultset/DataSource.h"
#include "data/sql/SqlConnection.h"
#include "data/sql/SqlStatement.h"

#include <QWidget>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QTabWidget;

namespace kordane {

class DataGrid;
class LineEdit;
class MaskedEdit;
class SpeedButton;

class TFormKordane : public QWidget {
    Q_OBJECT
public:
    explicit TFormKordane(QWidget* parent = nullptr);
    ~TFormKordane() override;

    // Components, in declaration order. The window owns all of them.
    SqlConnection SQLConnection1;
    SqlQuery SQLQuery1;
    SqlDataSet SQLDataSet1;
    DataSetProvider DataSetProvider1;
    ClientDataSet ClientDataSet1;
    DataSource DataSource1;
    QMenu* PopupMenu1 = nullptr;
    QAction* N1 = nullptr;
    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr;
    QFrame* Panel1 = nullptr;
    QFrame* Panel2 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label3 = nullptr;
    SpeedButton* SpeedButton1 = nullptr;
    SpeedButton* SpeedButton2 = nullptr;
    MaskedEdit* MaskEdit1 = nullptr;
    LineEdit* Edit1 = nullptr;
    DataGrid* DBGrid1 = nullptr;
    LineEdit* Edit5 = nullptr;
    LineEdit* Edit6 = nullptr;
    QFrame* Panel3 = nullptr;
    QWidget* TabSheet2 = nullptr;
    QLabel* Label2 = nullptr;
    MaskedEdit* MaskEdit2 = nullptr;
    MaskedEdit* MaskEdit3 = nullptr;
    QLabel* Label6 = nullptr;
    LineEdit* Edit7 = nullptr;
    SpeedButton* SpeedButton3 = nullptr;
    SpeedButton* SpeedButton4 = nullptr;

    // Event handlers, in declaration order.
    void Edit1Exit(QObject* sender); // look up the employee
    void FormCreate(QObject* sender); // start-up: the name backfill, today's date
    void SpeedButton1Click(QObject* sender); // modify
    void MaskEdit1KeyDown(QObject* sender, int key, Qt::KeyboardModifiers shift); // Enter and Esc move
    void SpeedButton2Click(QObject* sender); // view the day
    void ClientDataSet1AfterOpen(ClientDataSet* dataSet); // the grid's column titles
    void N1Click(QObject* sender); // remove the grid's current row
    void DBGrid1CellClick(int column); // the clicked row into the fields
    void SpeedButton3Click(QObject* sender); // add
    void SpeedButton4Click(QObject* sender); // delete
    void MaskEdit1Exit(QObject* sender); // the weekday of the date

    // The window's "next control" request: forward or backward through its tab-order list.
    void selectNextControl(bool forward);

    // Places the window centred on the desktop (all monitors together).
    void centreOnDesktop();

private:
    void createComponents();
    void createControls();
    void wireHandlers();
    void addCommandKeys();
    void nameControls();
    QList<QWidget*> tabOrderList() const;
    void layoutPanel2();
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The fields as a record, their texts as they stand.
    AttendanceRecord fieldsRecord() const;

    double scale_ = 1.0;
};

} // namespace kordane
