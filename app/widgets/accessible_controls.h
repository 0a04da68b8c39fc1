#pragma once

namespace murmex {

// Lets screen readers and other assistive tools see the skinned controls as what they are:
// buttons that can be pressed, switches that can be toggled and report their state, the seek
// and progress bars with their values, texts, the lamp and the pictures. Names and descriptions
// are the ones the window gives each control (its caption and its hint). Call once the
// application exists; calling again changes nothing.
void InstallAccessibleControls();

}  // namespace murmex
