#pragma once

// Index and source fields name a tap, or the line it reads, as 0..7; this
// value names none. Arrays indexed by tap keep one more entry for it.
constexpr int kNoTap = 8;
