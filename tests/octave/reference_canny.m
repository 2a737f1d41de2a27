function [edges, stages] = reference_canny(image, thresholdLow, thresholdHigh, hysteresisIts, sigma)
% Plain model of quarlen's result, written pixel by pixel from the formulas of
% each stage (whole-image array operations, no tiling except where the tiles
% change the result: which pixels are processed, and hysteresis).
%
%   IMAGE    uint8, rows x columns (grey) or rows x columns x 3 (colour)
%   EDGES    uint8 rows x columns x 3: 255 where the last pass left an edge mark;
%            for a grey image only plane 1 carries edges.
%   STAGES   the single images of the whole tiles after each stage: grey,
%            gradX, gradY, strength, direction, suppressed, final.
%
% Only the whole 16 x 16 tiles are processed, and every device image starts
% at 0, so every stage reads the pixels outside the whole tiles as 0, exactly
% like those outside the image. The model therefore works on the whole-tile
% part of the image with zeros around it.
  [rows, cols, planes] = size(image);
  tileRows = 16 * floor(rows / 16);
  tileCols = 16 * floor(cols / 16);
  low = single(thresholdLow);
  high = single(thresholdHigh);
  passes = fix(double(hysteresisIts));
  sigma = single(sigma);
  px = double(image(1:tileRows, 1:tileCols, :));

  % Grey level: t = c1 * 0.59, then two fused multiply-adds. A byte times a
  % single weight is exact in double, and so is its sum with a single below 512,
  % so rounding that sum once to single is the fused result.
  if planes == 3
    t = single(px(:, :, 2)) * single(0.59);
    t = single(px(:, :, 1) * double(single(0.11)) + double(t));
    t = single(px(:, :, 3) * double(single(0.3)) + double(t));
    grey = fix(t);
  else
    grey = single(px(:, :, 1));
  end

  % Optional smoothing: a horizontal pass over the integer parts, then a
  % vertical pass over its result; each of the 15 steps a single multiply
  % followed by a single add, from 0, in tap order.
  if sigma > 0
    [tapsX, tapsY] = reference_gaussian_taps(sigma);
    padded = zeros(tileRows, tileCols + 14, 'single');
    padded(:, 8:tileCols + 7) = fix(grey);
    across = zeros(tileRows, tileCols, 'single');
    for j = 1:15  % tap j weighs the pixel j - 8 columns away
      across = across + padded(:, j:j + tileCols - 1) * tapsX(j);
    end
    padded = zeros(tileRows + 14, tileCols, 'single');
    padded(8:tileRows + 7, :) = across;
    grey = zeros(tileRows, tileCols, 'single');
    for j = 1:15  % tap j weighs the pixel j - 8 rows away
      grey = grey + tapsY(j) * padded(j:j + tileRows - 1, :);
    end
  end

  % Sobel on the integer parts: gradX grows with the column, gradY toward the
  % first row. Whole numbers up to 1020, exact in double.
  padded = zeros(tileRows + 2, tileCols + 2);
  padded(2:end - 1, 2:end - 1) = double(fix(grey));
  at = @(dr, dc) padded(2 + dr:tileRows + 1 + dr, 2 + dc:tileCols + 1 + dc);
  gradX = (at(-1, 1) - at(-1, -1)) + 2 * (at(0, 1) - at(0, -1)) + (at(1, 1) - at(1, -1));
  gradY = (at(-1, -1) + 2 * at(-1, 0) + at(-1, 1)) - (at(1, -1) + 2 * at(1, 0) + at(1, 1));

  % Strength: the sum of squares is a whole number below 2^24, so the single
  % root of it is the double root rounded once.
  strength = single(sqrt(gradX .^ 2 + gradY .^ 2));
  direction = reference_direction(gradX, gradY);

  % Non-maximum suppression along the direction of each pixel.
  suppressed = reference_suppression(strength, direction);

  % Hysteresis: each pass starts from the one before; without passes the
  % output stage sees the gradient strength, which holds no edge mark.
  final = strength;
  if passes > 0
    final = suppressed;
    for pass = 1:passes
      final = reference_hysteresis_pass(final, low, high);
    end
  end

  edges = zeros(rows, cols, 3, 'uint8');
  marks = uint8(255) * uint8(final == -2);
  edges(1:tileRows, 1:tileCols, 1) = marks;
  if planes == 3
    edges(1:tileRows, 1:tileCols, 2) = marks;
    edges(1:tileRows, 1:tileCols, 3) = marks;
  end
  stages = struct('grey', grey, 'gradX', single(gradX), 'gradY', single(gradY), 'strength', strength, ...
                  'direction', direction, 'suppressed', suppressed, 'final', final);
end
