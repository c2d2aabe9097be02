// SPDX-License-Identifier: Apache-2.0
// Window coordinates are kept in twips, as the window designs give them;
// the screen works in logical pixels at 15 twips each (96 dots per inch).
#pragma once

namespace forms {

constexpr int kTwipsPerPixel = 15;

constexpr int ToPixels(int twips) {
    return twips >= 0 ? (twips + kTwipsPerPixel / 2) / kTwipsPerPixel : -((-twips + kTwipsPerPixel / 2) / kTwipsPerPixel);
}
constexpr int ToTwips(int pixels) { return pixels * kTwipsPerPixel; }

}  // namespace forms
