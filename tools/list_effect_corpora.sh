#!/usr/bin/env bash
# Lists public Direct3D 9 effect files we check the effect front end against
# by hand: source, repository, commit and path, one tab-separated line each.
# The files stay where they are; nothing is fetched or kept in this
# repository. tools/effect_corpus_rate.sh counts how many of them compile
# once they are fetched into CORPUS/SOURCE/... (the path below the sample's
# own folder kept, so that includes resolve).
#
#   tools/list_effect_corpora.sh            all entries
#   tools/list_effect_corpora.sh --urls     raw-file addresses instead, to
#                                           fetch by hand into a scratch folder
set -euo pipefail

urls=false
[ "${1:-}" = "--urls" ] && urls=true

emit() {  # source repository commit path
  if $urls; then
    printf 'https://raw.githubusercontent.com/%s/%s/%s\n' "$2" "$3" "$4"
  else
    printf '%s\t%s\t%s\t%s\n' "$1" "$2" "$3" "$4"
  fi
}

# sdk: the Direct3D 9 samples of the legacy DirectX SDK (MIT licence), under
# Direct3D/ (the Direct3D10/ effects are fx_4_0 and out of scope), with the
# files they include.
REPO=walbourn/directx-sdk-legacy-samples
COMMIT=02b679d87d5e108bf239f0ec7c720aad2087cc01
PATHS=(
  AntiAlias/AntiAlias.fx ConfigSystem/main.fx CustomUI/CustomUI.fx DepthOfField/DepthOfField.fx
  EffectParam/EffectParam.fx EffectParam/reflect.fx EffectParam/specular.fx HDRCubeMap/HDRCubeMap.fx
  HDRFormats/HDRFormats.fx HDRLighting/HDRLighting.fx Instancing/Instancing.fx
  IrradianceVolume/LDPRT.fx IrradianceVolume/NdotL.fx IrradianceVolume/PRT.fx
  IrradianceVolume/SHIrradianceEnvMap.fx IrradianceVolume/Wireframe.fx
  LocalDeformablePRT/LocalDeformablePRT.fx LocalDeformablePRT/skybox.fx MeshFromOBJ/MeshFromObj.fx
  MultiAnimation/MultiAnimation.fx MultiAnimation/skin.vsh OptimizedMesh/OptimizedMesh.fx
  PRTDemo/LDPRT.fx PRTDemo/LightProbe.fx PRTDemo/SHFuncView.fx PRTDemo/prt.fx Pick/Pick.fx
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
for p in "${PATHS[@]}"; do emit sdk "$REPO" "$COMMIT" "Direct3D/$p"; done
# One file of the same repository was last seen at another commit.
emit sdk "$REPO" e72af93b5c64e59e39e76030dcbbec0cf54acf3b Direct3D/CompiledEffect/CompiledEffect.fx

# omega: OmegaEngine's post-processing effects (MIT licence), written for FX
# Composer in the NVIDIA shader library's style: #include <include\\Quad.fxh>.
REPO=omegaengine/omegaengine
emit omega "$REPO" 4ff2fdc2e5450bd1a86f6ab04724efe8a5cba6b5 shaders/include/Quad.fxh
emit omega "$REPO" 046134e2ef6ef1a3c38b289dcbeece7696c6e38e shaders/Post_Bleach.fx
emit omega "$REPO" 046134e2ef6ef1a3c38b289dcbeece7696c6e38e shaders/Post_Sepia.fx
emit omega "$REPO" 046134e2ef6ef1a3c38b289dcbeece7696c6e38e shaders/Post_Blur.fx

# mge: post-processing shaders of a Morrowind graphics mod (MGE XE).
REPO=Hrnchamd/MGE-XE
emit mge "$REPO" 1da214a51c631ff72b82e7aca8b8cd1e41e34826 "assets/shaders/XEshaders/Underwater Effects.fx"
emit mge "$REPO" 1da214a51c631ff72b82e7aca8b8cd1e41e34826 "assets/shaders/XEshaders/SSAO Fast.fx"
emit mge "$REPO" 1da214a51c631ff72b82e7aca8b8cd1e41e34826 "assets/shaders/XEshaders/Eye Adaptation (HDR).fx"
emit mge "$REPO" 1da214a51c631ff72b82e7aca8b8cd1e41e34826 "assets/shaders/XEshaders/Underwater Interior Effects.fx"

# xna: XNA Game Studio content effects (the XNA effect compiler is the
# Direct3D 9 one).
REPO=babaq/StiLib
emit xna "$REPO" 648d2d2799466a39ef05c7cfe1ab8007b8e5dbd3 StiLib/StiLib/Content/Grating.fx

# raymmd: effects of a MikuMikuDance rendering pack (MIT licence), Direct3D 9
# effects with MMD's own semantics and annotations.
REPO=ray-cast/ray-mmd
emit raymmd "$REPO" 06562fb133d059219ce02f713201ffb48c642bce Extension/FilmGrain/FilmGrain.fx

# rogue: the effects of a released XNA/FNA game (Rogue Legacy), at one commit.
REPO=flibitijibibo/RogueLegacy1
COMMIT=01f2eb5307602820fa4ae365cf6ccd118d0221bc
for p in BrightPass GaussianBlur HSVShader ShadowFX resolveShadowsEffect reductionEffect \
         CrepuscularShader Shockwave LightRays NormalMapFX ParallaxFX ColourSwapShader RippleFX \
         AmbientNormalMapFX StrokeShader BlurShader MaskFX_Shader2 LightSourceMask 2xMultiBlend \
         AlphaMaskShader GaussianBlurMask SceneBlend TintRemovalShader BWMaskShader InvertShader \
         ShockwaveTest OutlineShader; do
  emit rogue "$REPO" "$COMMIT" "RogueCastle/Shaders/$p.fx"
done
emit rogue "$REPO" "$COMMIT" RogueCastle/Shaders/PPVertexShader.fxh
