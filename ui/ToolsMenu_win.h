// The Tools menu in the window: the LBN conversions (208, 209), the ImageDisk
// conversion (216) and the side split (29), over the same core functions as
// dorvane-cli, with the window's dialogs, message boxes and status texts.
#pragma once

namespace dorvane::ui {

// Runs command `id` of the Tools menu; false for any other id.
bool onToolsCommand(int id);

} // namespace dorvane::ui
