// Resource identifiers of the framework tests' sample dialog; read by the resource compiler too.
#ifndef FRAMEWORK_TESTS_SAMPLE_RESOURCE_H
#define FRAMEWORK_TESTS_SAMPLE_RESOURCE_H

#define IDD_SAMPLE 300
#define IDD_SAMPLE_NO_PROGRESS 301
#define IDS_SAMPLE 310
#define IDS_SAMPLE_LONG 311
#define IDS_SAMPLE_MISSING 399

#define IDC_GO 3000
#define IDC_BASE_ONLY 3001
#define IDC_BOTH 3002
#define IDC_STATUS 3003
#define IDC_SAMPLE_PROGRESS 3004

#endif
