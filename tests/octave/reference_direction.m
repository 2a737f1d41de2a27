function code = reference_direction(gx, gy)
% Direction codes 0, 45, 90, 135 of gradients (gx toward increasing column,
% gy toward the first row): the single-precision angle atan2(gy, gx) compared
% with the single-precision multiples of pi/8, in the order 45, 90, 135, else 0.
  gx = single(gx);
  gy = single(gy);
  a = atan2(gy, gx);
  a(gx == 0 & gy == 0) = 0;
  T1 = single(pi / 8);
  T3 = single(3 * pi / 8);
  T5 = single(5 * pi / 8);
  T7 = single(7 * pi / 8);
  code = zeros(size(a));
  is45 = (a > T1 & a <= T3) | (a >= -T7 & a < -T5);
  is90 = ~is45 & ((a > T3 & a <= T5) | (a >= -T5 & a < -T3));
  is135 = ~is45 & ~is90 & ((a > T5 & a <= T7) | (a >= -T3 & a < -T1));
  code(is45) = 45;
  code(is90) = 90;
  code(is135) = 135;
end
