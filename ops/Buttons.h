// Control ids of the main window's buttons that start operations. The
// operations swap these buttons' captions while they run.
#pragma once

namespace dorvane {

constexpr int kFormatButton = 3;
constexpr int kOpenButton = 5;
constexpr int kSaveButton = 6;
constexpr int kWriteButton = 30;
constexpr int kReadButton = 31;

} // namespace dorvane
