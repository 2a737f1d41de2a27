function ok = run_octave_test(name)
% Runs the test function NAME (it signals failure by raising an error) and
% prints one PASS or FAIL line; any error is shown with its identifier and stack.
  ok = false;
  try
    feval(name);
    ok = true;
  catch err
    printf('error in %s: [%s] %s\n', name, err.identifier, err.message);
    for k = 1:numel(err.stack)
      printf('  at %s, line %d\n', err.stack(k).name, err.stack(k).line);
    end
  end
  if ok
    printf('PASS %s\n', name);
  else
    printf('FAIL %s\n', name);
  end
end
