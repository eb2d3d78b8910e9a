#include "wizard/uconfig.h"

const std::string_view kFConfigDescription = R"(object FConfig: TFConfig
  Left = 192
  Top = 107
  BorderIcons = [biSystemMenu, biMinimize]
  BorderStyle = bsSingle
  Caption = 'Assistente de Instala'#231#227'o'
  ClientHeight = 141
  ClientWidth = 361
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = []
  OldCreateOrder = False
  Position = poDesktopCenter
  OnActivate = FormActivate
  PixelsPerInch = 96
  TextHeight = 13
  object Label3: TLabel
    Left = 31
    Top = 12
    Width = 89
    Height = 13
    Caption = 'Path do Tulmevara'
  end
  object BitBtn1: TBitBtn
    Left = 178
    Top = 109
    Width = 85
    Height = 25
    Caption = 'OK'
    Default = True
    TabOrder = 0
    OnClick = BitBtn1Click
  end
  object BitBtn2: TBitBtn
    Left = 270
    Top = 109
    Width = 84
    Height = 25
    Caption = 'Cancelar'
    TabOrder = 1
    OnClick = BitBtn2Click
  end
  object EDTul: TDirectoryEdit
    Left = 31
    Top = 30
    Width = 300
    Height = 21
    NumGlyphs = 1
    TabOrder = 2
  end
end
)";
