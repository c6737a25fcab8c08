// The releases each pass of Install and Uninstall sweeps, in sweep order.
#pragma once

#include "products/product_release.h"

// The default registry view: AutoCAD R16.0 to R19.1, AutoCAD LT R9 to R19.
inline constexpr ProductRelease FirstPassReleases[] = {
    {AutoCad, 16, 0},   {AutoCad, 16, 1},   {AutoCad, 16, 2},   {AutoCad, 17, 0},
    {AutoCad, 17, 1},   {AutoCad, 17, 2},   {AutoCad, 18, 0},   {AutoCad, 18, 1},
    {AutoCad, 18, 2},   {AutoCad, 19, 0},   {AutoCad, 19, 1},   {AutoCadLt, 9, 0},
    {AutoCadLt, 10, 0}, {AutoCadLt, 11, 0}, {AutoCadLt, 12, 0}, {AutoCadLt, 13, 0},
    {AutoCadLt, 14, 0}, {AutoCadLt, 15, 0}, {AutoCadLt, 16, 0}, {AutoCadLt, 17, 0},
    {AutoCadLt, 18, 0}, {AutoCadLt, 19, 0},
};

// The 64-bit view, under WOW64 only: the releases that exist as 64-bit
// products, AutoCAD R17.1 to R19.1 and AutoCAD LT R14 to R19.
inline constexpr ProductRelease SecondPassReleases[] = {
    {AutoCad, 17, 1},   {AutoCad, 17, 2},   {AutoCad, 18, 0},   {AutoCad, 18, 1},
    {AutoCad, 18, 2},   {AutoCad, 19, 0},   {AutoCad, 19, 1},   {AutoCadLt, 14, 0},
    {AutoCadLt, 15, 0}, {AutoCadLt, 16, 0}, {AutoCadLt, 17, 0}, {AutoCadLt, 18, 0},
    {AutoCadLt, 19, 0},
};

// Uninstall only, at the end of each pass: "EnableCommunicationCenter" below
// each direct sub-key of the root key.
inline constexpr ProductRelease CadManagerControlReleases[] = {
    {0, 0, 12},
    {0, 0, 13},
    {0, 0, 14},
};

// The user's keys are one key in both views: a machine-level Uninstall looks
// for the product keys that only the user has in the first pass alone, which
// must therefore hold every release of the 64-bit pass.
constexpr bool InFirstPass(const ProductRelease& release) {
  for (const ProductRelease& first : FirstPassReleases) {
    if (ReleaseCode(first) == ReleaseCode(release)) return true;
  }
  return false;
}

constexpr bool SecondPassWithinFirst() {
  for (const ProductRelease& release : SecondPassReleases) {
    if (!InFirstPass(release)) return false;
  }
  return true;
}

static_assert(SecondPassWithinFirst(), "a release of the 64-bit pass is missing from the first");
