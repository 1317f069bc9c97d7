// Export and import of the directory classes. QIRTool.exe is built with QIRADSI_BUILD
// and exports them; a caller includes ADSI.h without it and links against QIRTool's
// import library.
#pragma once

#ifdef QIRADSI_BUILD
#define QIRADSI_API __declspec(dllexport)
#else
#define QIRADSI_API __declspec(dllimport)
#endif
