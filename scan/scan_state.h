// The one program-wide record of a scan, and the scan operations that work on it.
#pragma once

#include <optional>
#include <vector>

#include "platform/ansi_string.h"
#include "platform/crt.h"
#include "platform/drives.h"
#include "platform/findfile.h"
#include "scan/scan_window.h"

enum ScanMode : int { ModeQuick = 0, ModeFoldersOnly = 1, ModeSomeFiles = 2, ModeAllFiles = 3 };

constexpr int kFolderRowCount = 10;
constexpr int kFolderRowCapacity = 50;     // initial names per row; rows grow beyond it
constexpr int kEntryListCapacity = 20000;  // initial positions; the list grows beyond it

struct ScanState {
  rtl::File* OutFile = nullptr;
  TSearchRec SearchRec;
  AnsiString TargetDrive;
  AnsiString SystemDrive;
  std::vector<std::vector<AnsiString>> FolderRows;  // kFolderRowCount rows
  AnsiString SourceRoot;
  AnsiString TargetRoot;
  AnsiString RelPath;
  AnsiString EntryLabel;
  std::vector<AnsiString> EntryList;  // position 0 unused; entry k at position k
  AnsiString MirrorFolderName;
  AnsiString EntryName;
  AnsiString SelectedDriveLetter;
  int RowFill = 0;
  int Level = 0;
  int TopIndex = 0;
  int EntryTotal = 0;
  int Mode = 0;
  // Whether the last WriteListFile opened, wrote every line and closed without error.
  bool ListFileComplete = false;
  // Whether the last ListFolder changed into its mirror folder; nothing is made otherwise, so
  // a failed change never spills folders or placeholders into whatever directory was current.
  bool MirrorEntered = false;
  // Host identity of the run's own mirror folder, taken by WalkTree when TargetRoot and
  // MirrorFolderName are set; a listing never descends into or re-mirrors that folder.
  std::optional<drives::HostIdentity> MirrorIdentity;
};

extern ScanState* State;  // the one instance, between CreateScanState and DestroyScanState

void CreateScanState();
void DestroyScanState();

void MakeEntryLabel();
void ListFolder();
void WalkTree();
void WriteListFile();
