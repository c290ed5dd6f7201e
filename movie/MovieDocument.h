#pragma once
// A movie seen as the authoring tool sees its document: scenes, frame labels
// and key frames, in the shared model's terms.
#include "core/Global.h"

namespace swf {
struct Movie;
}

// The scenes of the movie's scene data (else one "Scene 1"), in order, with
// the main timeline's frame labels (a label lasts until the next label or
// the scene's end) and key frames: the frames at which the main timeline
// places a new character or removes one, and each scene's first frame.
TSceneInfoArr DocumentScenes(const swf::Movie &movie);

// The whole movie as one unnamed scene, as a movie opened for capture is
// seen, with the labels and key frames above.
TSceneInfo WholeMovieScene(const swf::Movie &movie);
