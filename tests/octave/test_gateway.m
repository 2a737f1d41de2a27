function test_gateway()
% The MEX file's interface inside Octave: the result's shape, the diagnostics
% text, how the six inputs are decoded, and the errors for bad calls.
  check_diagnostics();
  check_decoding();
  check_errors();
  check_help();
end

function expect(condition, varargin)
  if ~condition
    error('test:failed', varargin{:});
  end
end

function [edges, text] = call_quarlen(varargin)
  text = evalc('edges = quarlen(varargin{:});');
end

function img = colour_image()
  % 480 x 640 x 3 with real content, so that reinterpretations differ.
  state = warning('off', 'all');  % colour-profile notes from the PNG reader
  a = imread(fullfile('data', 'astronaut.png'));
  warning(state);
  img = repmat(a, [1 2 1]);
  img = img(1:480, 1:640, :);
end

function check_diagnostics()
  [e, text] = call_quarlen(zeros(480, 640, 3, 'uint8'), 3, 0.1, 0.3, 10, 0);
  expect(isa(e, 'uint8') && isequal(size(e), [480 640 3]) && ~any(e(:)), 'zero image: %s %s', class(e), mat2str(size(e)));
  expected = sprintf('matrix dims 480 640\n thresholdlow 0.100000, thresholdhigh 0.300000,hysteresisIts 10\n');
  expect(strcmp(text, expected), 'diagnostics "%s"', undo_string_escapes(text));

  % Thresholds are shown after narrowing to single, passes after truncation;
  % smoothing adds one empty line.
  [~, text] = call_quarlen(zeros(32, 48, 'uint8'), 1, 16777217, -2.5, 2.9, 1.5);
  expected = sprintf('matrix dims 32 48\n thresholdlow 16777216.000000, thresholdhigh -2.500000,hysteresisIts 2\n\n');
  expect(strcmp(text, expected), 'diagnostics with sigma "%s"', undo_string_escapes(text));
end

function check_decoding()
  img = colour_image();
  grey = img(:, :, 2);
  args = {0.1 * 255, 0.3 * 255, 4, 0};
  base = call_quarlen(img, 3, args{:});
  expect(nnz(base) > 0, 'the colour image gives no edges, so the comparisons below would say nothing');

  e = call_quarlen(grey, 1, args{:});
  expect(isequal(size(e), [480 640 3]) && nnz(e(:, :, 1)) > 0 && ~any(any(e(:, :, 2:3))), ...
         'one plane: size %s, %d edges in plane 1, planes 2-3 must be zero', mat2str(size(e)), nnz(e(:, :, 1)));

  % description, call, expected size, what the result must equal ([] for all zeros)
  flat = img(1:480 * 213 * 3);
  cases = {
    'channels 3.7 read as 3',          @() quarlen(img, 3.7, args{:}),             [480 640 3],  base;
    'channels as an integer class',    @() quarlen(img, int32(3), args{:}),        [480 640 3],  base;
    '480x640x3 with channels 1',       @() quarlen(img, 1, args{:}),               [480 1920 3], call_quarlen(reshape(img, 480, 1920), 1, args{:});
    '2-D 480x640 with channels 3',     @() quarlen(reshape(img(1:480 * 640), 480, 640), 3, args{:}), [480 213 3], ...
                                       call_quarlen(reshape(flat, 480, 213, 3), 3, args{:});
    'channels 2: no planes to read',   @() quarlen(img, 2, args{:}),               [480 960 3],  [];
    'sigma NaN: no smoothing',         @() quarlen(img, 3, args{1:3}, NaN),        [480 640 3],  base;
    'sigma -1: no smoothing',          @() quarlen(img, 3, args{1:3}, -1),         [480 640 3],  base;
    'hysteresisIts 0: no edges',       @() quarlen(img, 3, 1, 2, 0, 0),            [480 640 3],  [];
    'hysteresisIts -2: no edges',      @() quarlen(img, 3, 1, 2, -2, 0),           [480 640 3],  [];
    'thresholdHigh NaN: no edges',     @() quarlen(img, 3, 1, NaN, 4, 0),          [480 640 3],  [];
    'smaller than one tile',           @() quarlen(img(1:15, 1:200, :), 3, 1, 2, 3, 0), [15 200 3], [];
  };
  for n = 1:rows(cases)
    evalc('e = cases{n, 2}();');
    expect(isa(e, 'uint8') && isequal(size(e), cases{n, 3}), '%s: %s of size %s', cases{n, 1}, class(e), mat2str(size(e)));
    if isempty(cases{n, 4})
      expect(~any(e(:)), '%s: %d nonzero bytes', cases{n, 1}, nnz(e));
    else
      expect(isequal(e, cases{n, 4}), '%s: %d bytes differ', cases{n, 1}, nnz(e ~= cases{n, 4}));
    end
  end
end

function check_errors()
  img = uint8(magic(32));
  ok = {img, 1, 20, 60, 3, 0};
  before = call_quarlen(ok{:});
  names = {'', 'channels', 'thresholdLow', 'thresholdHigh', 'hysteresisIts', 'sigma'};
  % description, inputs, identifier, text the message must contain
  cases = {
    'no inputs',       {},                                   'quarlen:usage',        '';
    'five inputs',     ok(1:5),                              'quarlen:usage',        '';
    'seven inputs',    [ok {0}],                             'quarlen:usage',        '';
    'double image',    [{double(img)} ok(2:end)],            'quarlen:badImage',     'double';
    'single image',    [{single(img)} ok(2:end)],            'quarlen:badImage',     'single';
    'int8 image',      [{int8(img)} ok(2:end)],              'quarlen:badImage',     'int8';
    'logical image',   [{img > 3} ok(2:end)],                'quarlen:badImage',     'logical';
    'char image',      [{char(img)} ok(2:end)],              'quarlen:badImage',     'char';
    'channels 0',      [ok(1) {0} ok(3:end)],                'quarlen:badArgument',  'channels';
    'channels -3',     [ok(1) {-3} ok(3:end)],               'quarlen:badArgument',  'channels';
    'channels NaN',    [ok(1) {NaN} ok(3:end)],              'quarlen:badArgument',  'channels';
    'channels Inf',    [ok(1) {Inf} ok(3:end)],              'quarlen:badArgument',  'channels';
    'passes NaN',      [ok(1:4) {NaN} ok(6)],                'quarlen:badArgument',  'hysteresisIts';
    '65536 rows',      [{zeros(65536, 1, 'uint8')} ok(2:end)], 'quarlen:imageTooLarge', '65536';
    '65536 columns',   [{zeros(1, 65536, 'uint8')} ok(2:end)], 'quarlen:imageTooLarge', '65536';
  };
  for k = 2:6
    for bad = {[], 'x', {3}}
      args = ok;
      args{k} = bad{1};
      cases(end + 1, :) = {sprintf('%s given as %s', names{k}, class(bad{1})), args, 'quarlen:badArgument', names{k}};
    end
  end

  for n = 1:rows(cases)
    args = cases{n, 2};
    err = catch_error(@() quarlen(args{:}));
    expect(~isempty(err), '%s: no error', cases{n, 1});
    expect(strcmp(err.identifier, cases{n, 3}) && (isempty(cases{n, 4}) || ~isempty(strfind(err.message, cases{n, 4}))), ...
           '%s: [%s] %s', cases{n, 1}, err.identifier, err.message);
    % Octave goes on, and the next call works.
    e = call_quarlen(ok{:});
    expect(isequal(e, before), '%s: the call after the error differs', cases{n, 1});
  end

  err = catch_error(@() two_outputs(ok));
  expect(~isempty(err) && strcmp(err.identifier, 'quarlen:usage'), 'two outputs: %s', describe(err));
end

function two_outputs(ok)
  [a, b] = quarlen(ok{:});
end

function err = catch_error(f)
  err = [];
  try
    evalc('f();');
  catch caught
    err = caught;
  end
end

function text = describe(err)
  if isempty(err)
    text = 'no error';
  else
    text = sprintf('[%s] %s', err.identifier, err.message);
  end
end

function check_help()
  text = evalc('help quarlen');
  for name = {'image', 'channels', 'thresholdLow', 'thresholdHigh', 'hysteresisIts', 'sigma'}
    expect(~isempty(regexpi(text, ['\<' name{1} '\>'], 'once')), 'help text does not mention %s:\n%s', name{1}, text);
  end
end
