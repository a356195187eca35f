#include "preview/PreviewImageSource.h"

#include <windows.h>

namespace {

SRWLOCK gSourceLock = SRWLOCK_INIT;  // set on the user-interface thread, read by the preview task
PreviewImageSource gSource;

}  // namespace

void SetPreviewImageSource(const PreviewImageSource& source) {
  AcquireSRWLockExclusive(&gSourceLock);
  gSource = source;
  ReleaseSRWLockExclusive(&gSourceLock);
}

PreviewImageSource CurrentPreviewImageSource() {
  AcquireSRWLockShared(&gSourceLock);
  PreviewImageSource source = gSource;
  ReleaseSRWLockShared(&gSourceLock);
  return source;
}
