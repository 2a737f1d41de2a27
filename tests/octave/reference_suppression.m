function suppressed = reference_suppression(strength, direction)
% Non-maximum suppression of a single strength image with its direction codes;
% everything around the image reads as 0. A pixel keeps its strength when it
% is strictly above both neighbours on the line of its code, A = (x + dx, y + dy)
% and B = (x - dx, y - dy), x the column and y the row; otherwise it becomes 0.
  [rows, cols] = size(strength);
  padded = zeros(rows + 2, cols + 2, 'single');
  padded(2:end - 1, 2:end - 1) = strength;
  at = @(dy, dx) padded(2 + dy:rows + 1 + dy, 2 + dx:cols + 1 + dx);
  suppressed = zeros(rows, cols, 'single');
  lines = [0 1 0; 45 1 -1; 90 0 1; 135 -1 -1];  % code, dx, dy
  for n = 1:4
    dx = lines(n, 2);
    dy = lines(n, 3);
    keep = direction == lines(n, 1) & strength > max(at(dy, dx), at(-dy, -dx));
    suppressed(keep) = strength(keep);
  end
end
