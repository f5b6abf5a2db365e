#pragma once

namespace atlasync::ui {

// Makes the compiled-in fonts, images and skin reachable under ":/". The
// resources live in a static library, where nothing would otherwise pull
// them in; calling this again does nothing.
void use_resources();

}  // namespace atlasync::ui
