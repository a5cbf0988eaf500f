// The editing commands of the Edit, Options and Selection menus that are not
// effects: new image, crop, colour depth, the Ctrl-release resize gesture,
// copy of the selection and the paste rule. They reach the user only through
// the interaction they are given, so the desktop program and the tests share
// them.
#pragma once

#include <optional>

#include "core/bitmap.h"
#include "workspace/selection.h"
#include "workspace/workspace.h"

namespace pixtrel {

class UserInteraction;

// "&New...": asks "Pixtrel New Image" / "Enter image width:" starting with
// "200", then "Enter image height:" starting with the width text. Cancel
// stops; text that is not an integer shows "<text> is invalid" and stops.
// Only when both exceed 10 a white image of that size becomes the displayed
// image, after a snapshot. Returns whether the image was replaced.
bool NewImage(Workspace& workspace, UserInteraction& ui);

// "&Crop to Selection": nothing when the selection is hidden; "selection too
// small" when its width or height is below 5; otherwise a snapshot, the part
// of the image under the rectangle becomes the displayed image and the
// selection is hidden. Returns whether the image was replaced.
bool CropToSelection(Workspace& workspace, Selection& selection, UserInteraction& ui);

// The colour depths of the "&Color Depth" submenu.
enum class ColorDepth { Bits4, Bits8, Bits16, Bits24 };
PixelFormat DepthFormat(ColorDepth depth);
// A snapshot, then the displayed image converted to the depth's pixel format
// (standard 16-colour palette, halftone palette, 5-6-5, 24 bits).
void SetColorDepth(Workspace& workspace, ColorDepth depth);

// The Ctrl-release gesture: a release more than 10 pixels right of and below
// the image's top-left corner resamples the image to (x, y); no snapshot.
// Returns whether the image was resampled.
bool ResizeGesture(Workspace& workspace, int x, int y);

// "Resize &Image...": the size the window gave, applied when both are at
// least 11. Returns whether the image was resampled.
bool ResizeTo(Workspace& workspace, int width, int height);

// "Copy Selection to Clipboard": the part of the displayed image under the
// visible selection as a new image of the selection's size; nothing when the
// selection is hidden or has no area. Parts of the rectangle beyond the
// image come out white.
std::optional<Bitmap> CopySelection(const Bitmap& image, const Selection& selection);

// "View as Icon": only with a visible selection, which becomes 32 x 32 at its
// top-left corner; the part of the image under it. The image is not changed.
std::optional<Bitmap> IconSelection(const Bitmap& image, Selection& selection);

// "Paste from Clipboard": an image (from the clipboard) becomes the displayed
// image without a snapshot; nothing happens for an empty one. Returns whether
// the image was replaced.
bool PasteImage(Workspace& workspace, const Bitmap& pasted);

}  // namespace pixtrel
