#pragma once

// The program's own name (the application's, and every message box's
// caption) and its icon.
namespace Program {

inline constexpr char Name[] = "Velmora";
inline constexpr char IconPath[] = ":/velmora/velmora.png";

} // namespace Program
