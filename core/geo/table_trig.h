// Sine and cosine of degrees from a 19-value table at 5° steps, with linear
// interpolation between neighbours. Every compass, sky view and map overlay
// draws with these, so all of them produce the same integer geometry.
#pragma once

namespace tarvo {

// Degrees in (any value within ±32767°, integer steps are done on 16-bit
// values), result in [-1, 1]. Table-interpolated: at most ~1e-3 off sin().
double SinDeg(double angle);

// CosDeg(a) = SinDeg(a + 90).
double CosDeg(double angle);

}  // namespace tarvo
