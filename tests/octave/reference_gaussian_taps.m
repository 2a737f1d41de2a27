function [tapsX, tapsY] = reference_gaussian_taps(sigma)
% The two 15-tap smoothing tables for a sigma above 0, as 1 x 15 single rows;
% element j is the tap for offset j - 8. Both are the sampled Gaussian over the
% offsets -7..7 normalised to sum 1, reached along two roads that may differ in
% the last bit: the horizontal table is scaled by 1/(2*pi*sigma^2) before the
% normalisation, the vertical one is not. Each value is computed in double and
% rounded to single where the module stores it; the sums are kept in single.
  sigma = double(single(sigma));
  scaled = zeros(1, 15, 'single');
  unscaled = zeros(1, 15, 'single');
  scaledSum = single(0);
  unscaledSum = single(0);
  for i = -7:7
    t = single(-(i * i) / ((sigma * 2.0) * sigma));
    unscaled(i + 8) = single(exp(double(t)));
    scaled(i + 8) = single((1 / ((sigma * 6.283185307179586) * sigma)) * double(unscaled(i + 8)));
    scaledSum = scaledSum + scaled(i + 8);
    unscaledSum = unscaledSum + unscaled(i + 8);
  end
  tapsX = scaled / scaledSum;
  tapsY = unscaled / unscaledSum;
end
