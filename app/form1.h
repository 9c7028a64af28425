// The main window of the program.
#pragma once

#include "platform/vcl/vcl.h"
#include "scan/scan_window.h"

class TForm1 : public TForm, public ScanWindow {
 public:
  TButton* Button1 = nullptr;
  TMemo* Memo1 = nullptr;
  TDriveComboBox* DriveComboBox1 = nullptr;
  TProgressBar* ProgressBar1 = nullptr;
  TButton* Button2 = nullptr;
  TRadioGroup* RadioGroup1 = nullptr;
  TLabel* Label1 = nullptr;
  TLabel* Label2 = nullptr;
  TLabel* Label3 = nullptr;
  TLabel* Label4 = nullptr;

  void Button1Click(TObject* sender);
  void DriveComboBox1Change(TObject* sender);
  void Button2Click(TObject* sender);
  void RadioGroup1Click(TObject* sender);

  explicit TForm1(TComponent* owner);
  ~TForm1() override;

  // What the scan engine does to the window.
  void SetProgressPosition(std::uint16_t position) override;
  void ClearMemo() override;
  void AddMemoLine(const AnsiString& line) override;
  void PaintStatusLine(const TRect& rect, int x, int y, const AnsiString& text) override;

 protected:
  bool BindField(const std::string& name, TControl* control) override;
  TNotifyEvent FindMethod(const std::string& name) override;
};

extern TForm1* Form1;

// The start-up probe of the system drive and the pre-count, run once by the constructor.
void StartupScan();

// The program entry: steps 1 to 4, returning 0 in every case.
int ProgramEntry();
