// The MATLAB / Octave front end: mexFunction over the mx and mex operations.
#include <cstdio>
#include <exception>
#include <optional>
#include <string>

#include "host/errors.h"
#include "host/gateway.h"
#include "mex.h"
#include "runtime/backend.h"

namespace {

class MexHost final : public quarlen::HostInterface {
 public:
  MexHost(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[])
      : nlhs_(nlhs), plhs_(plhs), nrhs_(nrhs), prhs_(prhs) {}

  int inputCount() const override { return nrhs_; }
  int outputsRequested() const override { return nlhs_; }

  std::optional<double> scalarInput(int k) const override {
    if (k < 2 || k > nrhs_) return std::nullopt;
    const mxArray* input = prhs_[k - 1];
    if (!mxIsNumeric(input) || mxIsEmpty(input)) return std::nullopt;
    return mxGetScalar(input);
  }

  quarlen::ImageInput imageInput() const override {
    const mxArray* image = prhs_[0];
    return {static_cast<const std::uint8_t*>(mxGetData(image)), mxGetM(image), mxGetN(image), mxGetClassName(image)};
  }

  std::uint8_t* createResult(std::size_t rows, std::size_t columns) override {
    const mwSize dims[3] = {static_cast<mwSize>(rows), static_cast<mwSize>(columns), 3};
    plhs_[0] = mxCreateNumericArray(3, dims, mxUINT8_CLASS, mxREAL);
    return plhs_[0] != nullptr ? static_cast<std::uint8_t*>(mxGetData(plhs_[0])) : nullptr;
  }

  void print(const std::string& text) override { mexPrintf("%s", text.c_str()); }

 private:
  int nlhs_;
  mxArray** plhs_;
  int nrhs_;
  const mxArray** prhs_;
};

// The error is raised only after every C++ object of the call is gone: MATLAB leaves a MEX function
// by a long jump, which would skip their destructors.
char errorId[128];
char errorText[1024];

}  // namespace

extern "C" __attribute__((visibility("default"))) void mexFunction(int nlhs, mxArray* plhs[], int nrhs,
                                                                   const mxArray* prhs[]) {
  try {
    MexHost host(nlhs, plhs, nrhs, prhs);
    quarlen::runGateway(host, quarlen::moduleRuntime());
    return;
  } catch (const quarlen::QuarlenError& error) {
    std::snprintf(errorId, sizeof errorId, "%s", error.id().c_str());
    std::snprintf(errorText, sizeof errorText, "%s", error.what());
  } catch (const std::exception& error) {
    std::snprintf(errorId, sizeof errorId, "quarlen:internal");
    std::snprintf(errorText, sizeof errorText, "quarlen failed: %s", error.what());
  }
  mexErrMsgIdAndTxt(errorId, "%s", errorText);
}
