// Resource and control ids of the program.
#pragma once

inline constexpr int IDD_ABOUT = 100;
inline constexpr int IDS_ABOUT_ENTRY = 101;
inline constexpr int IDD_MAIN = 102;
inline constexpr int IDI_MAIN = 128;

inline constexpr int IDC_LINES = 1000;
inline constexpr int IDC_PORT4 = 1004;
inline constexpr int IDC_PORT1 = 1005;
inline constexpr int IDC_PORT2 = 1006;
inline constexpr int IDC_PORT3 = 1007;
inline constexpr int IDC_STATUS = 1008;
inline constexpr int IDC_PAGE = 1009;

inline constexpr unsigned ID_SYS_ABOUT = 16;
inline constexpr int ID_HELP = 57670;
