// The framework tests' own dialog and strings (FrameworkTest.rc).
#pragma once

#define IDD_PROBE 100
#define IDC_PROBE_LOG 1001
#define IDC_PROBE_CHECK 1002
#define IDC_PROBE_FIRST 1003
#define IDC_PROBE_SECOND 1004
#define IDC_PROBE_THIRD 1005
#define IDS_PROBE_PLAIN 200
#define IDS_PROBE_FORMAT 201
