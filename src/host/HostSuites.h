// The host's Property and Error suites, acquired once per load through SPBasic when offered.
#pragma once

void AcquireHostSuites();
void ReleaseHostSuites();
void SuspendHostWatch();
