// The program's version data. The About box shows its own "Version 1.1".
#pragma once

namespace version_info {

inline constexpr unsigned kFileVersion[4] = {1, 0, 0, 1};
inline constexpr const char* kFileVersionText = "1, 0, 0, 1";
inline constexpr const char* kProductVersionText = "1, 0, 0, 1";
inline constexpr const char* kCompanyName = "";
inline constexpr const char* kFileDescription = "Vexlarin MFC Application";
inline constexpr const char* kInternalName = "Vexlarin";
inline constexpr const char* kLegalCopyright =
    "Copyright (c) 2026 The Vexlarin developers, MIT licence";
inline constexpr const char* kOriginalFilename = "Vexlarin.EXE";
inline constexpr const char* kProductName = "Vexlarin Application";

}  // namespace version_info
