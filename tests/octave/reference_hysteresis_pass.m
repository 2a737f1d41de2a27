function out = reference_hysteresis_pass(in, low, high)
% One hysteresis pass over the whole tiles. IN is the single image of the
% whole tiles (a multiple of 16 in both directions); everything around it reads
% as 0. Marks: -2 edge, -1 candidate.
%
% Every 16 x 16 tile works alone on its own pixels plus a one-pixel ring taken
% from IN as it stands at the start of the pass (unclassified, never updated in
% the pass). Its pixels are classified, then candidates next to an edge (ring
% included, 8-neighbourhood) turn into edges in synchronous sweeps until a
% sweep changes nothing, at most 128 sweeps.
  [rows, cols] = size(in);
  low = single(low);
  high = single(high);

  v = single(in);
  cur = v;
  isEdge = v > high;
  isCandidate = ~isEdge & v > low;
  cur(isEdge) = -2;
  cur(isCandidate) = -1;
  cur(~isEdge & ~isCandidate & v > 0) = 0;

  % Neighbour (r + dr, c + dc) lies in the same tile as (r, c) exactly when the
  % position within the tile stays within 0..15 along both axes.
  rowPos = mod((0:rows - 1)', 16);
  colPos = mod(0:cols - 1, 16);
  offsets = [-1 -1; -1 0; -1 1; 0 -1; 0 1; 1 -1; 1 0; 1 1];
  sameTile = cell(8, 1);
  ringEdge = false(rows, cols);
  paddedIn = zeros(rows + 2, cols + 2, 'single');
  paddedIn(2:end - 1, 2:end - 1) = v;
  for n = 1:8
    dr = offsets(n, 1);
    dc = offsets(n, 2);
    sameTile{n} = (rowPos + dr >= 0 & rowPos + dr <= 15) & (colPos + dc >= 0 & colPos + dc <= 15);
    neighbour = paddedIn(2 + dr:rows + 1 + dr, 2 + dc:cols + 1 + dc);
    ringEdge = ringEdge | (~sameTile{n} & neighbour == -2);
  end

  for sweep = 1:128
    padded = false(rows + 2, cols + 2);
    padded(2:end - 1, 2:end - 1) = cur == -2;
    nearEdge = ringEdge;
    for n = 1:8
      dr = offsets(n, 1);
      dc = offsets(n, 2);
      nearEdge = nearEdge | (sameTile{n} & padded(2 + dr:rows + 1 + dr, 2 + dc:cols + 1 + dc));
    end
    due = cur == -1 & nearEdge;
    if ~any(due(:))
      break;
    end
    cur(due) = -2;
  end
  out = cur;
end
