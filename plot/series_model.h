#pragma once

#include "plot/series_picture.h"
#include "series/series.h"
#include "series/series_analysis.h"

namespace velk::plot {

// Gives a drawing of a pair's reports the model that the analysis of the pair's series
// fitted, in the drawing's terms: a sample and a point of the series are one report when
// the sample's source is the point's file; the components of the two differ by a constant
// (their origins), taken as the mean difference over the reports they share. The
// thresholds are drawn about the model's value at the reference epoch, the steps between
// the last report before them and the first after. Nothing is attached when the series
// is too short to analyse or shares no report with the drawing. Sample times must be
// modified Julian dates.
void attachModel(SeriesDrawing& drawing, const series::Series& series,
                 const series::SeriesResult& result, const series::AnalysisOptions& options);

}  // namespace velk::plot
