%QUARLEN  Canny edges of an 8-bit image, computed over 16 x 16-pixel tiles.
%
%   EDGES = quarlen(IMAGE, CHANNELS, THRESHOLDLOW, THRESHOLDHIGH, HYSTERESISITS, SIGMA)
%
%   IMAGE          uint8 array: rows x columns (grey, CHANNELS = 1) or
%                  rows x columns x 3 (colour, CHANNELS = 3). A colour pixel's
%                  grey level is 0.11 * plane 1 + 0.59 * plane 2 + 0.3 * plane 3,
%                  truncated to a whole number.
%   CHANNELS       number of planes of IMAGE, 1 or 3. The image is read as
%                  rows x (size(IMAGE,2) * size(IMAGE,3) / CHANNELS) x CHANNELS.
%                  Another positive count gives an all-zero result.
%   THRESHOLDLOW   gradient strength above which a pixel is a candidate edge.
%   THRESHOLDHIGH  gradient strength above which a pixel is an edge.
%                  Strengths come from the Sobel operator on grey levels 0..255,
%                  so they lie between 0 and about 1442.
%   HYSTERESISITS  number of hysteresis passes. Within a pass edges grow through
%                  connected candidates inside each tile; each further pass lets
%                  them cross one more tile border. 0 or less gives no edges.
%   SIGMA          width of a 15-tap Gaussian smoothing applied first; none when
%                  SIGMA is not above 0.
%
%   EDGES          uint8 array, rows x columns x 3: 255 on edge pixels, 0 elsewhere.
%                  A grey image's edges are in plane 1 only. Only whole tiles are
%                  processed: the last mod(rows,16) rows and mod(columns,16)
%                  columns are always 0.
%
%   Every call prints one diagnostics line, and an empty line when SIGMA > 0:
%     matrix dims <rows> <columns>
%      thresholdlow <low>, thresholdhigh <high>,hysteresisIts <passes>
%
%   Bad arguments raise errors with the identifiers quarlen:usage,
%   quarlen:badImage, quarlen:badArgument and quarlen:imageTooLarge (at most
%   65535 rows and columns, and rows * columns * 4 below 2^31 bytes).
%
%   Example:
%     img = imread('coffee.png');
%     edges = quarlen(img, 3, 40, 100, 10, 1.4);
%     imshow(edges(:,:,1));
%
%   quarlen runs on an NVIDIA GPU when one is present, and otherwise on all
%   CPU cores, with the same result.

% This file holds the help text; the function itself is the MEX file beside it.
error('quarlen:notBuilt', 'the quarlen MEX file is missing: build the project first');
