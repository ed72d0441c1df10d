#!/usr/bin/env bash
# Lists public Direct3D 9 effect files we check the effect front end against
# by hand: repository, commit and path, one tab-separated line each. The
# files stay where they are; nothing is fetched or kept in this repository.
#
#   tools/list_effect_corpora.sh            all entries
#   tools/list_effect_corpora.sh --urls     raw-file addresses instead, to
#                                           fetch by hand into a scratch folder
set -euo pipefail

# The Direct3D 9 samples of the legacy DirectX SDK (MIT licence), under
# Direct3D/ (the Direct3D10/ effects are fx_4_0 and out of scope).
REPO=walbourn/directx-sdk-legacy-samples
COMMIT=02b679d87d5e108bf239f0ec7c720aad2087cc01
PATHS=(
  AntiAlias/AntiAlias.fx ConfigSystem/main.fx CustomUI/CustomUI.fx DepthOfField/DepthOfField.fx
  EffectParam/EffectParam.fx EffectParam/reflect.fx EffectParam/specular.fx HDRCubeMap/HDRCubeMap.fx
  HDRFormats/HDRFormats.fx HDRLighting/HDRLighting.fx Instancing/Instancing.fx
  IrradianceVolume/LDPRT.fx IrradianceVolume/NdotL.fx IrradianceVolume/PRT.fx
  IrradianceVolume/SHIrradianceEnvMap.fx IrradianceVolume/Wireframe.fx
  LocalDeformablePRT/LocalDeformablePRT.fx LocalDeformablePRT/skybox.fx MeshFromOBJ/MeshFromObj.fx
  MultiAnimation/MultiAnimation.fx OptimizedMesh/OptimizedMesh.fx PRTDemo/LDPRT.fx
  PRTDemo/LightProbe.fx PRTDemo/SHFuncView.fx PRTDemo/prt.fx Pick/Pick.fx
  PixelMotionBlur/PixelMotionBlur.fx PixelMotionBlur/PixelMotionBlurNoMRT.fx
  PostProcess/PP_ColorBloomH.fx PostProcess/PP_ColorBloomV.fx PostProcess/PP_ColorBrightPass.fx
  PostProcess/PP_ColorCombine4.fx PostProcess/PP_ColorDownFilter4.fx PostProcess/PP_ColorEdgeDetect.fx
  PostProcess/PP_ColorGBlurH.fx PostProcess/PP_ColorGBlurV.fx PostProcess/PP_ColorInverse.fx
  PostProcess/PP_ColorMonochrome.fx PostProcess/PP_ColorToneMap.fx PostProcess/PP_ColorUpFilter4.fx
  PostProcess/PP_DofCombine.fx PostProcess/PP_NormalEdgeDetect.fx PostProcess/PP_NormalMap.fx
  PostProcess/PP_PositionMap.fx PostProcess/Scene.fx PostProcess/pp_colorcombine.fx
  ShadowMap/shadowmap.fx SkinnedMesh/skinnedmesh.fx StateManager/AlphaTest.fx
  StateManager/reflective01.fx StateManager/skybox01.fx StateManager/snow.fx StateManager/textbump.fx
  Tutorials/PIXGameDebugging/PIXGameDebugging.fx
)
# One file of the same repository was last seen at another commit.
EXTRA=("e72af93b5c64e59e39e76030dcbbec0cf54acf3b Direct3D/CompiledEffect/CompiledEffect.fx")

urls=false
[ "${1:-}" = "--urls" ] && urls=true

emit() {  # commit path
  if $urls; then
    printf 'https://raw.githubusercontent.com/%s/%s/%s\n' "$REPO" "$1" "$2"
  else
    printf '%s\t%s\t%s\n' "$REPO" "$1" "$2"
  fi
}
for p in "${PATHS[@]}"; do emit "$COMMIT" "Direct3D/$p"; done
for e in "${EXTRA[@]}"; do emit ${e% *} "${e#* }"; done
