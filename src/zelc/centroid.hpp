// Peak picking of profile spectra, for the centroid points a container
// spectrum holds (the profile points are kept beside them on request).
#pragma once

#include "vorn_core/float_array.hpp"

namespace zelc {

// Each local maximum (above its left neighbour and not below its right one,
// intensity above zero) makes one centroid: the intensity-weighted mean m/z
// of the points from the minimum on its left to the minimum on its right, and
// the maximum's intensity. Intensities keep their precision; m/z is float64.
void centroid(const vorn::FloatArray& mz, const vorn::FloatArray& intensity,
              vorn::FloatArray& peak_mz, vorn::FloatArray& peak_intensity);

}  // namespace zelc
