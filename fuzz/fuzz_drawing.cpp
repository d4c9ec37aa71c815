// Drawing: a file's traces extracted and their shapes drawn, with marks, edge
// ticks, drill holes and box size, on the recording canvas. Box size, eye and
// the drawing settings come from the input.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "fuzzsupport.hpp"
#include "kestrune/shape/canvas.hpp"
#include "kestrune/trace/radiilist.hpp"

using namespace kestrune;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    const int width = provider.ConsumeIntegralInRange<int>(-2, 2000);
    const int height = provider.ConsumeIntegralInRange<int>(-2, 2000);
    const int left = provider.ConsumeIntegralInRange<int>(-100000, 100000);
    const int top = provider.ConsumeIntegralInRange<int>(-100000, 100000);
    const int eyecode = provider.ConsumeIntegralInRange<int>(-1, 3);
    const bool showtext = provider.ConsumeBool();
    const bool cross = provider.ConsumeBool();
    const bool centring = provider.ConsumeBool();
    const bool polygon = provider.ConsumeBool();
    const auto fixstart = provider.ConsumeFloatingPoint<double>();
    const auto fixend = provider.ConsumeFloatingPoint<double>();
    const auto segment = provider.ConsumeIntegral<std::int32_t>();
    const auto grid = provider.ConsumeIntegral<std::int32_t>();
    const auto tick = provider.ConsumeIntegral<std::int32_t>();
    const std::string_view bytes = fuzz::bytesof(data, size);
    fuzz::choosesettings(bytes);

    tomafileobj doc;
    fuzz::loaddocument(doc, bytes);
    tradiilist shape, right, leftlist;
    shape.extractradiilistfromomalist2(doc.omalist, &right, &leftlist, true);

    for (tradiilist* list : {&shape, &right, &leftlist}) {
        list->findabed();
        list->drawcross = cross;
        list->drawcentring = centring;
        list->polygondraw = polygon;
        list->fixstart = fixstart;
        list->fixend = fixend;
        list->crossx = segment;
        list->crossy = -(segment / 2);
        list->drawinfo = {segment % 2 != 0, segment, segment / 3, segment / 7};
        if (grid % 5 == 0) list->GridX = grid;
        if (grid % 7 == 0) list->GridY = -grid;
        (void)list->adddrawedgedata(tick, tick, static_cast<double>(tick) / 7.0);

        trecordingcanvas canvas;
        (void)list->drawshape(canvas, width, height, eyecode, showtext);
        (void)list->drawshaperel(canvas, left, top, width, height, eyecode, !showtext);
    }
    return 0;
}
