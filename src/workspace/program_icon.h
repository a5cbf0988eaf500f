// The program's own icon, made from one picture when the program is built:
// 16, 32 and 48 pixels, each in 16 and 256 colours and in 32 bits with alpha.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "icons/icon_image.h"

namespace pixtrel {

inline constexpr int kProgramIconSizes[] = {16, 32, 48};
inline constexpr int kProgramIconDepths[] = {4, 8, 32};

// picture is a PNG file's bytes, with or without alpha; each size is
// resampled from it with Lanczos3, the colours weighted by their coverage.
std::unique_ptr<icons::AdvancedIcon> MakeProgramIcon(std::span<const std::uint8_t> picture);

}  // namespace pixtrel
