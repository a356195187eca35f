// A fixture whose reference-host session is the plug-in's current filter record, as during the
// start selector: its advanceState serves the plug-in's image traffic in-process.
#pragma once
#include <cstdio>
#include <memory>

#include "HostCallbacks.h"
#include "HostSession.h"
#include "ProcessingFixture.h"
#include "core/Progress.h"
#include "host/HostImage.h"
#include "host/HostState.h"

class HostRecordFixture : public ProcessingFixture {
 protected:
  void TearDown() override {
    if (gFilterRecord != nullptr) DestroyHostImage();
    TerminateImageEditorProgressBar();
    gFilterRecord = nullptr;
    m_Session.reset();
    if (m_Quiet != nullptr) fclose(m_Quiet);
    m_Quiet = nullptr;
    ProcessingFixture::TearDown();
  }
  HostSession& Open(HostDocument document, HostOptions options = HostOptions{}) {
    m_Quiet = fopen("NUL", "w");
    options.out = m_Quiet;
    ResetHostObservations();
    m_Session = std::make_unique<HostSession>(document, options);
    m_Session->Activate();
    gFilterRecord = m_Session->Record();
    if (gFilterRecord->bigDocumentData != nullptr) gFilterRecord->bigDocumentData->PluginUsing32BitCoordinates = 1;
    InitializeImageEditorProgressBar();
    SetImageEditorProgressProcs(gFilterRecord->progressProc, gFilterRecord->abortProc);
    return *m_Session;
  }
  bool OpenProfiles() { return InitializeColorConversion(HostProfileOfRecord()); }

  std::unique_ptr<HostSession> m_Session;
  FILE* m_Quiet = nullptr;
};
