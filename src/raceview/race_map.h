#pragma once
// The race over the map: each bird's track in its own colour, the release and the lofts as
// pins, the rests as rings, and a marker per bird at the replay time.
