// The rows of the open and save tables. A new format adds its rows in
// formats.cpp, in the place its order gives it.
#pragma once

#include <span>
#include <string>

#include "core/bitmap.h"

namespace pixtrel {

// How a reader reaches the target.
enum class LoadPath {
  A,  // decode, then copy through an intermediate bitmap
  B,  // a stream reader assigned into the target
  C,  // a drawn format: target resized to it and the graphic drawn over it
  D,  // an encrypted container
};

struct LoadRow {
  const char* extension;  // upper-cased, with the dot
  LoadPath path;
  void (*load)(const std::string& path, Bitmap& target);
};

struct SaveRow {
  const char* extension;
  // Returns false when the user abandoned the save.
  bool (*save)(const std::string& path, Bitmap& source);
};

// In the order the extensions are compared.
std::span<const LoadRow> LoadRows();
std::span<const SaveRow> SaveRows();

}  // namespace pixtrel
