// The scripted source manager the client tests load in place of a real one:
// what it does is set through ScriptedDsm_Reset before a run, and every call
// it answered is in ScriptedDsm_Log afterwards.
#pragma once

extern "C" {

struct ScriptedDsmScript {
  // The step that fails: 0 none, 1 MSG_OPENDSM, 2 MSG_OPENDS, 3 MSG_ENABLEDS.
  int failStep;
  // Pages delivered by one scan, and the size of each (up to 4).
  int pages;
  int widths[4];
  int heights[4];
  // The user cancels the source's dialog (MSG_CLOSEDSREQ) instead of scanning.
  int cancel;
  // The chooser is cancelled.
  int cancelChooser;
  // The first transfer is cancelled by the source (TWRC_CANCEL), the pages after it are scanned.
  int cancelFirstTransfer;
  // The source posts nothing at all (the program must be told to quit).
  int silent;
  // Milliseconds before the source posts its notice.
  int delay;
};

typedef void (*ScriptedDsmResetProc)(const ScriptedDsmScript* script);
typedef const char* (*ScriptedDsmLogProc)();
}
