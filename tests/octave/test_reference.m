function test_reference()
% The model that the MEX file is compared with, checked on cases worked out by
% hand, stage by stage. A fault here would make every comparison meaningless.
  check_grey();
  check_gaussian_taps();
  check_sobel_signs();
  check_directions();
  check_suppression();
  check_hysteresis();
end

function expect(condition, varargin)
  if ~condition
    error('reference:mismatch', varargin{:});
  end
end

function check_grey()
  % planes (c0, c1, c2) -> grey level
  cases = [0 0 0 0; 255 255 255 255; 255 0 0 28; 0 255 0 150; 0 0 255 76; 0 100 0 58; 0 0 100 30;
           15 15 15 14; 120 120 120 119; 240 240 240 239];
  img = zeros(16, 16, 3, 'uint8');
  img(1, 1:rows(cases), :) = reshape(cases(:, 1:3), 1, [], 3);
  [~, st] = reference_canny(img, 0, 0, 0, 0);
  expect(isequal(double(st.grey(1, 1:rows(cases))), cases(:, 4)'), 'grey levels %s', mat2str(st.grey(1, 1:rows(cases))));

  % The two multiply-adds are fused: these equal planes keep their value, one
  % more than when the products are cut to single before the adds.
  v = [59 77 118 154 179 199 236];
  img = zeros(16, 16, 3, 'uint8');
  img(1, 1:numel(v), :) = repmat(uint8(v), [1 1 3]);
  [~, st] = reference_canny(img, 0, 0, 0, 0);
  expect(isequal(double(st.grey(1, 1:numel(v))), v), 'fused grey levels %s', mat2str(st.grey(1, 1:numel(v))));

  img = uint8(magic(16));
  [~, st] = reference_canny(img, 0, 0, 0, 0);
  expect(isequal(st.grey, single(img)), 'a grey image is taken unchanged');
end

function check_gaussian_taps()
  expected = {1, [0.398942 0.241971 0.053991 0.00443185 0.00013383 1.48672e-06 6.07588e-09 9.13472e-12];
              2, [0.199501 0.176059 0.121004 0.0647686 0.0269996 0.00876548 0.00221626 0.000436407];
              0.5, [0.786571 0.106451]};
  for n = 1:rows(expected)
    [tx, ty] = reference_gaussian_taps(expected{n, 1});
    e = expected{n, 2};
    for taps = {tx, ty}
      t = taps{1};
      expect(isa(t, 'single') && numel(t) == 15, 'taps are 15 singles');
      expect(isequal(t, fliplr(t)), 'taps for sigma %g are symmetric', expected{n, 1});
      expect(all(abs(double(t(8:7 + numel(e))) - e) <= 1e-5 * e), 'taps for sigma %g: %s', expected{n, 1}, ...
             mat2str(double(t(8:15)), 6));
    end
  end
end

function check_sobel_signs()
  % Brighter to the right: gradX +400 on both columns of the step (0-based
  % x = 19 and 20), 0 one further out, gradY 0.
  img = zeros(48, 48, 'uint8');
  img(:, 21:end) = 100;
  [~, st] = reference_canny(img, 0, 0, 0, 0);
  rowsInside = 2:47;
  expect(all(st.gradX(rowsInside, 20) == 400 & st.gradX(rowsInside, 21) == 400), 'vertical step gradX');
  expect(all(st.gradX(rowsInside, 19) == 0 & st.gradX(rowsInside, 22) == 0), 'vertical step gradX beside it');
  expect(all(all(st.gradY(rowsInside, 18:23) == 0)), 'vertical step gradY');
  % Brighter toward the first row: gradY +400 on rows 19 and 20 (0-based).
  img = zeros(48, 48, 'uint8');
  img(1:20, :) = 100;
  [~, st] = reference_canny(img, 0, 0, 0, 0);
  expect(all(st.gradY(20, 2:47) == 400 & st.gradY(21, 2:47) == 400), 'horizontal step gradY');
  expect(all(all(st.gradX(19:22, 2:47) == 0)), 'horizontal step gradX');
  % A constant image: 4v on the left border, -4v at the top, (3v, -3v) at the corner.
  [~, st] = reference_canny(repmat(uint8(10), 32, 32), 0, 0, 0, 0);
  expect(st.gradX(5, 1) == 40 && st.gradX(5, 32) == -40 && st.gradY(1, 5) == -40 && st.gradY(32, 5) == 40, ...
         'constant image borders');
  expect(st.gradX(1, 1) == 30 && st.gradY(1, 1) == -30 && st.strength(5, 5) == 0, 'constant image corner');
end

function check_directions()
  T = single([pi / 8, 3 * pi / 8, 5 * pi / 8, 7 * pi / 8]);
  expect(isequal(double(T), double(single([0.392699093, 1.17809725, 1.96349537, 2.74889350]))), 'thresholds');
  % gx, gy, code
  cases = [0 0 0; 1 0 0; -1 0 0; 0 1 90; 0 -1 90; 1 1 45; -7 -7 45; 1 -1 135; -1 1 135; 3 4 45;
           1000 414 0; 1000 415 45; 1000 -414 0; 1000 -415 135; -1000 414 0; -1000 415 135; -1000 -415 45;
           414 1000 90; 415 1000 45; -414 1000 90; -415 1000 135; 12 5 45; 5 12 45; 2 5 90];
  code = reference_direction(cases(:, 1), cases(:, 2));
  bad = find(code(:) ~= cases(:, 3));
  expect(isempty(bad), 'direction of (%d, %d) is %d', [cases(bad, 1:2) code(bad)]');
  expect(reference_direction(-1, -0) == 0, 'direction of (-1, -0)');
end

function check_suppression()
  % (x, y) 0-based below; a strength image and codes of 8 x 16.
  S = zeros(8, 16, 'single');
  D = zeros(8, 16);
  S(5, 10:12) = [2 7 5];                 % code 0 at (10, 4): kept
  S(2, 10:13) = [1 7 7 1];               % plateau: neither kept
  S(8, 2:4) = [3 6 9];  D(8, 3) = 90;    % code 90 at (2, 7): only (2, 6) and (2, 8) count
  S(1, 1) = 4; S(2, 2) = 3; D(1, 1) = 135;  % corner: the outside counts 0
  out = reference_suppression(S, D);
  expect(out(5, 11) == 7 && out(5, 10) == 0 && out(5, 12) == 0, 'code 0 ridge');
  expect(out(2, 11) == 0 && out(2, 12) == 0, 'plateau');
  expect(out(8, 3) == 6, 'code 90 ignores the row');
  expect(out(1, 1) == 4, 'corner');
  % code 45 at (5, 5) compares (6, 4) and (4, 6); code 135 compares (4, 4) and (6, 6)
  lines = {45, [5 7; 7 5], [5 5; 7 7]; 135, [5 5; 7 7], [5 7; 7 5]};
  for n = 1:2
    for k = 1:2
      S = zeros(12, 12, 'single');  S(6, 6) = 5;
      D = zeros(12, 12);  D(6, 6) = lines{n, 1};
      on = lines{n, 2}(k, :);  off = lines{n, 3}(k, :);
      S(on(1), on(2)) = 6;  S(off(1), off(2)) = 6;
      out = reference_suppression(S, D);
      expect(out(6, 6) == 0, 'code %d suppressed by (row %d, col %d)', lines{n, 1}, on(1), on(2));
      S(on(1), on(2)) = 4;
      out = reference_suppression(S, D);
      expect(out(6, 6) == 5, 'code %d not suppressed by (row %d, col %d)', lines{n, 1}, off(1), off(2));
    end
  end
end

function check_hysteresis()
  % Classification against 3 and 7, isolated pixels of one tile.
  in = zeros(16, 16, 'single');
  values = single([7, 7.0000005, 3, 2, 0, -5, NaN]);
  expected = single([-1, -2, 0, 0, 0, -5, NaN]);
  in(1, 1:2:13) = values;
  out = reference_hysteresis_pass(in, 3, 7);
  expect(isequaln(out(1, 1:2:13), expected), 'classification %s', mat2str(out(1, 1:2:13)));

  % A winding chain of candidates inside one tile touching one strong pixel is
  % marked through in one pass; a candidate touching nothing stays a candidate.
  in = zeros(16, 16, 'single');
  in(2, 2:15) = 5; in(3, 15) = 5; in(4, 2:15) = 5; in(5, 2) = 5; in(6, 2:15) = 5;
  in(2, 2) = 9;
  chain = in > 0;
  in(12, 12) = 5;
  out = reference_hysteresis_pass(in, 3, 7);
  expect(all(out(chain) == -2), 'chain inside a tile');
  expect(out(12, 12) == -1 && nnz(out) == nnz(chain) + 1, 'isolated candidate');

  % A line of candidates through four tiles from a strong pixel in the first:
  % one more tile is marked per pass, and the marks persist from pass to pass.
  in = zeros(16, 64, 'single');
  in(8, :) = 5;
  in(8, 3) = 9;
  out = in;
  for pass = 1:4
    out = reference_hysteresis_pass(out, 3, 7);
    expect(all(out(8, 1:16 * pass) == -2) && all(out(8, 16 * pass + 1:end) == -1), 'line after pass %d', pass);
  end
  % Across a tile corner, diagonally: candidate (16, 16) next to edge (15, 15).
  in = zeros(32, 32, 'single');
  in(16, 16) = 9; in(17, 17) = 5;
  out = reference_hysteresis_pass(in, 3, 7);
  expect(out(17, 17) == -1, 'corner, first pass');
  out = reference_hysteresis_pass(out, 3, 7);
  expect(out(17, 17) == -2, 'corner, second pass');
  % A high threshold below 0 turns 0 into edges; the ring is never classified.
  out = reference_hysteresis_pass(zeros(16, 32, 'single'), -1.5, -0.5);
  expect(all(out(:) == -2), 'negative thresholds');
end
