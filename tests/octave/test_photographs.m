function test_photographs()
% quarlen's edges compared pixel for pixel with the plain model in
% reference_canny, on the bundled photographs and on synthetic shapes.
  astronaut = read_image('astronaut.png');
  coffee = read_image('coffee.png');
  camera = read_image('camera.png');
  odd = astronaut(1:203, 1:301, :);  % neither size a multiple of 16 (nor of 4)

  failures = {};
  % name, image, sigma, thresholdLow, thresholdHigh, hysteresisIts
  cases = {
    'astronaut',       astronaut, 0,   100, 300, 1;
    'astronaut',       astronaut, 0,   100, 300, 10;
    'astronaut',       astronaut, 1.4, 40,  120, 3;
    'coffee',          coffee,    0,   80,  250, 10;
    'coffee',          coffee,    0.8, 50,  150, 2;
    'coffee',          coffee,    1.4, 30,  100, 30;
    'camera',          camera,    0,   100, 300, 5;
    'camera',          camera,    1.4, 40,  120, 30;
    'camera',          camera,    2.5, 20,  60,  4;
    'astronaut 203x301', odd,     1.4, 40,  120, 6;
    'camera 203x301',  camera(1:203, 1:301), 0, 60, 180, 6;
    'camera, low threshold below the marks', camera(1:128, 1:128), 0, -3, 50, 3;
  };
  for n = 1:rows(cases)
    [name, img, sigma, low, high, passes] = cases{n, :};
    want = reference_canny(img, low, high, passes, sigma);
    got = run_quarlen(img, low, high, passes, sigma);
    label = sprintf('%s, sigma %g, thresholds %g/%g, %d passes', name, sigma, low, high, passes);
    failures = [failures, compare(label, got, want)];
    if nnz(want) == 0
      failures{end + 1} = sprintf('%s: the model finds no edges, the case tests nothing', label);
    end
  end

  % With one pass, a low threshold of 0 and a tiny high one, every pixel that
  % survives non-maximum suppression is an edge and no other pixel is.
  for c = {{'astronaut', astronaut, 0}, {'coffee', coffee, 2}, {'camera', camera, 1.4}}
    [name, img, sigma] = c{1}{:};
    [~, stages] = reference_canny(img, 0, 1e-6, 1, sigma);
    got = run_quarlen(img, 0, 1e-6, 1, sigma);
    kept = stages.suppressed ~= 0;
    mask = false(rows(img), columns(img));
    mask(1:rows(kept), 1:columns(kept)) = kept;
    failures = [failures, compare(sprintf('%s, sigma %g: edges are the suppressed ridges', name, sigma), ...
                                  got(:, :, 1) == 255, mask)];
  end

  failures = [failures, check_synthetic()];

  % Two calls give the same bytes.
  first = run_quarlen(astronaut, 40, 120, 10, 1.4);
  second = run_quarlen(astronaut, 40, 120, 10, 1.4);
  failures = [failures, compare('astronaut, second call', second, first)];

  if ~isempty(failures)
    error('test:failed', '%d comparison(s) failed:\n%s', numel(failures), strjoin(failures, '\n'));
  end
end

function failures = check_synthetic()
% A disc 77 x 90 pixels with a soft rim, over several tiles and cut by the last
% whole tile row and column. The rim's contrast grows to the right, so only its
% right side is strong; each further pass carries the edge one tile further
% along the faint rest.
  failures = {};
  [x, y] = meshgrid(0:89, 0:76);
  rim = sqrt((x - 40) .^ 2 + (y - 38) .^ 2) - 34;
  grey = uint8((30 + 1.2 * x) ./ (1 + exp(rim / 1.2)));
  colour = cat(3, grey / 2, grey, grey - grey / 4);

  tileRows = 64;
  tileCols = 80;
  for c = {{'grey disc', grey}, {'colour disc', colour}}
    [name, img] = c{1}{:};
    counts = [];
    for sigma = [0 1]
      for passes = [1 2 3 4 6]
        label = sprintf('%s, sigma %g, %d passes', name, sigma, passes);
        want = reference_canny(img, 40, 180, passes, sigma);
        got = run_quarlen(img, 40, 180, passes, sigma);
        failures = [failures, compare(label, got, want)];
        if any(any(any(got(tileRows + 1:end, :, :)))) || any(any(any(got(:, tileCols + 1:end, :))))
          failures{end + 1} = sprintf('%s: nonzero bytes outside the whole tiles', label);
        end
        counts(end + 1) = nnz(want);
      end
    end
    % The fixture must need several passes, or it says nothing about them.
    if ~(counts(1) > 0 && counts(1) < counts(3) && counts(3) < counts(5))
      failures{end + 1} = sprintf('%s: edge counts by passes %s do not grow', name, mat2str(counts));
    end
  end
end

function img = read_image(file)
  state = warning('off', 'all');  % colour-profile notes from the PNG reader
  img = imread(fullfile('data', file));
  warning(state);
end

function edges = run_quarlen(img, low, high, passes, sigma)
  evalc('edges = quarlen(img, size(img, 3), low, high, passes, sigma);');
end

function failures = compare(label, got, want)
% {} when equal, else one line naming the first differing pixels.
  failures = {};
  if ~isequal(class(got), class(want)) || ~isequal(size(got), size(want))
    failures = {sprintf('%s: got %s %s, expected %s %s', label, class(got), mat2str(size(got)), ...
                        class(want), mat2str(size(want)))};
    return;
  end
  differ = find(got ~= want);
  if isempty(differ)
    return;
  end
  [r, c, p] = ind2sub(size(want), differ(1:min(6, end)));
  where = sprintf(' (%d,%d,%d) %d/%d', [r(:) c(:) p(:) double(got(differ(1:numel(r)))) ...
                                       double(want(differ(1:numel(r))))]');
  failures = {sprintf('%s: %d of %d differ; first (row,col,plane) got/expected:%s', label, numel(differ), ...
                      numel(want), where)};
end
