// Qt lays out text only under a QGuiApplication. Creating one is the entry
// point's business (the desktop program, pixtrel-cli for its commands that
// draw text, the test and fuzz mains); the logic only asks whether there is
// one and leaves text out when there is not.
#pragma once

namespace pixtrel {

// Whether the running application object is a QGuiApplication (or more).
bool HasGuiApplication();

}  // namespace pixtrel
