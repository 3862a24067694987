#pragma once
// The one window of the program: attendance entry for a date and an employee, the day
// grid, and the add / modify / delete commands. Every value lives in a control, in the
// day result set or in the database; the class keeps no state of its own.
#include "AttendanceRecord.h"
#include "ClientDataSet.h"
#include "Components.h"
#include "DataSetProvider.h"
#include "DataSource.h"
#include "SqlConnection.h"
#include "SqlStatement.h"

#include <QWidget>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QTabWidget;

namespace kordane {

class TDBGrid;
class TEdit;
class TMaskEdit;
class TSpeedButton;

class TFormKordane : public QWidget {
    Q_OBJECT
public:
    explicit TFormKordane(QWidget* parent = nullptr);
    ~TFormKordane() override;

    // Components, in declaration order. The window owns all of them.
    TSQLConnection SQLConnection1;
    TSQLQuery SQLQuery1;
    TSQLDataSet SQLDataSet1;
    TDataSetProvider DataSetProvider1;
    TClientDataSet ClientDataSet1;
    TDataSource DataSource1;
    QMenu* PopupMenu1 = nullptr;
    QAction* N1 = nullptr;
    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr;
    QFrame* Panel1 = nullptr;
    QFrame* Panel2 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label3 = nullptr;
    TSpeedButton* SpeedButton1 = nullptr;
    TSpeedButton* SpeedButton2 = nullptr;
    TMaskEdit* MaskEdit1 = nullptr;
    TEdit* Edit1 = nullptr;
    TDBGrid* DBGrid1 = nullptr;
    TEdit* Edit5 = nullptr;
    TEdit* Edit6 = nullptr;
    QFrame* Panel3 = nullptr;
    QWidget* TabSheet2 = nullptr;
    QLabel* Label2 = nullptr;
    TMaskEdit* MaskEdit2 = nullptr;
    TMaskEdit* MaskEdit3 = nullptr;
    QLabel* Label6 = nullptr;
    TEdit* Edit7 = nullptr;
    TSpeedButton* SpeedButton3 = nullptr;
    TSpeedButton* SpeedButton4 = nullptr;

    // Event handlers, in declaration order.
    void Edit1Exit(QObject* sender);            // look up the employee
    void FormCreate(QObject* sender);           // start-up: the name backfill, today's date
    void SpeedButton1Click(QObject* sender);    // modify
    void MaskEdit1KeyDown(QObject* sender, int key, Qt::KeyboardModifiers shift); // Enter and Esc move
    void SpeedButton2Click(QObject* sender);    // view the day
    void ClientDataSet1AfterOpen(TClientDataSet* dataSet); // the grid's column titles
    void N1Click(QObject* sender);              // remove the grid's current row
    void DBGrid1CellClick(int column);          // the clicked row into the fields
    void SpeedButton3Click(QObject* sender);    // add
    void SpeedButton4Click(QObject* sender);    // delete
    void MaskEdit1Exit(QObject* sender);        // the weekday of the date

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

    TComponentList components_;
    double scale_ = 1.0;
};

} // namespace kordane
