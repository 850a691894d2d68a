#pragma once

#include <QDialog>
#include <array>
#include <functional>
#include <memory>

#include "tools/CsvExport.h"
#include "ui/AppContext.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace kesola {

// The CSV export window: writes the reservations of the chosen room, year, month and day (each may be left open)
// to "KESOLA.CSV" in the program folder. Opened by the board under the workstation lock; it only reads.
class PRO009 : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kSelectorCount = 4;
    static constexpr int kButtonCount = 2;
    static constexpr int kLabelCount = 9;

    using ProgressFactory = std::function<std::unique_ptr<ExportProgress>(QWidget* owner)>;

    explicit PRO009(AppContext& ctx, QWidget* parent = nullptr);

    void Form_Load();
    void BTN_Click(int index);
    // The calendar check of the year, month and day selectors; "NG" or empty. Empty selectors mean any value.
    QString DATE_CHECK() const;
    void CSV_OUT();

    // How an export shows its progress; by default a dialog that appears after half a second.
    void setProgressFactory(ProgressFactory factory) { progressFactory_ = std::move(factory); }

    std::array<QComboBox*, kSelectorCount> CMB{};
    std::array<QPushButton*, kButtonCount> BTN{};
    std::array<QLabel*, kLabelCount> LBL{};

  private:
    void buildControls();
    void fillRooms();
    void reportOutcome(const ExportOutcome& outcome);

    AppContext& ctx_;
    ProgressFactory progressFactory_;
};

}  // namespace kesola
