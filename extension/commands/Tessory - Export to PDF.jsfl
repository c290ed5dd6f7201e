// Tessory - Export to PDF: starts the Tessory wizard for the open movie and
// serves its requests (scene, frame pictures, picture size) until it ends.
(function () {
    var doc = fl.getDocumentDOM();
    if (!doc) {
        alert("Open a movie first.");
        return;
    }
    if (typeof Kavrel === "undefined") {
        alert("The Tessory extension (Kavrel.so) is not installed.");
        return;
    }
    // False when the versions differ or a wizard run is already going on;
    // the extension has told the user.
    if (!Kavrel.checkVersion(1, 0))
        return;

    // Per scene: name, frame count, key frames, labels as (name, start,
    // duration) triples. Labels come from any layer, key frames from the
    // layers that make up the movie (not guides).
    function describe(timeline) {
        var keys = {}, labels = [];
        for (var l = 0; l < timeline.layers.length; l++) {
            var layer = timeline.layers[l];
            for (var f = 0; f < layer.frames.length; f++) {
                var frame = layer.frames[f];
                if (frame.startFrame !== f)
                    continue;
                if (layer.layerType !== "guide")
                    keys[f] = true;
                if (frame.labelType === "name")
                    labels.push(frame.name, f, frame.duration);
            }
        }
        var keyFrames = [];
        for (var k = 0; k < timeline.frameCount; k++)
            if (keys[k])
                keyFrames.push(k);
        return [timeline.name, timeline.frameCount, keyFrames, labels];
    }
    var scenes = [];
    for (var s = 0; s < doc.timelines.length; s++)
        scenes.push(describe(doc.timelines[s]));
    Kavrel.runUI(doc.path, doc.width, doc.height, scenes, doc.currentTimeline);

    // Every call is acknowledged, even one that failed, or the wizard would
    // wait for ever; failures are told at the end.
    var failures = [], inARow = 0;
    for (;;) {
        var call = null;
        try {
            call = Kavrel.getFlashFunctionToCall();
            inARow = 0;
            switch (call[0]) {
            case "setScene":
                doc.editScene(call[1]);
                break;
            case "getFrame":
                doc.getTimeline().currentFrame = call[1];
                doc.publish();
                break;
            case "setImageResolutionAndQuality":
                var imported = doc.importPublishProfile(call[1]);
                doc.currentPublishProfile = doc.publishProfiles[imported];
                break;
            }
        } catch (e) {
            failures.push(call ? call[0] + " " + call.slice(1).join(" ") + ": " + e.message : e.message);
            fl.trace(failures[failures.length - 1]);
            // The channel itself failing again and again: no wizard left.
            if (!call && ++inARow === 3)
                break;
        } finally {
            Kavrel.returnFromFlashFunction();
        }
        if (call && call[0] === "exit")
            break;
    }
    if (failures.length > 0)
        throw new Error(failures.length + " request(s) of the wizard failed; the first: " + failures[0]);
})();
