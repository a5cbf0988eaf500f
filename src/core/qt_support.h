// Qt needs an application object before it can lay out text. Programs that
// draw no text never pay for one; the first text call creates it.
#pragma once

namespace pixtrel {

// Creates a QGuiApplication on the offscreen platform unless one exists.
void EnsureGuiApplication();

}  // namespace pixtrel
